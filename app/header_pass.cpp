#include "app/header_pass.h"

#include "app/banner.h"
#include "report/message.h"
#include "script/data_error.h"
#include "script/data_reader.h"
#include "script/identity.h"
#include "script/pass.h"
#include "script/store.h"

int LoadDataHeader(void* window) {
    g_report.mainWindow = window;
    ReportMessage(MSG_INFO, MENDRIX_VERSION_LINE "\r\n%s\r\n", MENDRIX_NOTICE_LINE);
    FreeStores();
    FreeVariants();

    // The platform is not known here, so no os attribute excludes anything.
    ParseContext context;
    ResetParseContext(&context, 0);
    int result = 0;
    if (!AllocateDecoderBuffers(&context)) {
        ReportDataError(&context, DATA_ERROR_MEMORY);
        return 12;
    }
    if (!OpenDataFile(&context)) {
        result = 3;
    } else if (!CreateScriptParser(&context)) {
        ReportDataError(&context, DATA_ERROR_MEMORY);
        result = 12;
    } else {
        result = RunDecoder(&context, true);
        ReleaseScriptParser();
    }
    CloseDataFile(&context);
    FreeDecoderBuffers(&context);
    FreeContextTexts(&context);
    FreeStores();
    return result;
}
