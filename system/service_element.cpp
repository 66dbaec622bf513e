#include "system/service_element.h"

#include <stdlib.h>

#include "report/message.h"
#include "script/cleaning.h"
#include "system/service_removal.h"

void OnServiceEnd(ParseContext* context, const char* name) {
    char* service = context->serviceText;
    context->serviceText = nullptr;
    // Services exist only on the NT family; a run that skips does no work.
    if (service && !(context->flags & (RUN_WIN9X | RUN_SKIP))) {
        context->flags |= RUN_DID_SERVICES;
        if (context->flags & RUN_FIRST_SERVICE) {
            ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking services\r\n");
            context->flags &= ~RUN_FIRST_SERVICE;
        }
        if (g_cleaning && g_cleaning->services) RemoveService(g_cleaning->services, service);
    }
    free(service);
}
