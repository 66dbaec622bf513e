#include "script/message_elements.h"

#include <stdlib.h>

#include "report/message.h"
#include "report/prompts.h"
#include "script/data_error.h"
#include "script/text_util.h"

void CollectMessageText(ParseContext* context, const char* characters, int length) {
    TextTail* tail = &context->stack[context->depth].text;
    if (!AppendText(&context->messageText, characters, static_cast<size_t>(length), tail))
        ReportDataError(context, DATA_ERROR_MEMORY);
}

void OutputMessageText(ParseContext* context, int32_t which) {
    if (context->messageText && context->messageText[0]) {
        if (which == ELEMENT_PRINT) {
            if (g_prompts && g_prompts->showInformation)
                g_prompts->showInformation(g_report.mainWindow, context->messageText, kCaption);
        } else {
            ReportMessage(MSG_NO_LOG | MSG_INFO, "\n");
            ReportMessage(MSG_NO_LOG | MSG_INFO, "%s", context->messageText);
        }
    }
    free(context->messageText);
    context->messageText = nullptr;
}
