#include "script/data_error.h"

#include "script/settings.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/parse_context.h"
#include "script/parser.h"

DataErrorObserver g_dataErrorObserver = nullptr;

void ReportDataError(ParseContext* context, int code, bool fatal) {
    if (!context && g_parser) context = static_cast<ParseContext*>(XML_GetUserData(g_parser));
    if (g_dataErrorObserver && g_dataErrorObserver(context, code)) return;
    if (context && fatal) {
        if (context->flags & RUN_SKIP) return;
        context->flags |= RUN_SKIP;
        g_runFacts.dataError = code;
        g_runFacts.dataErrorLine = g_parser ? static_cast<int32_t>(XML_GetCurrentLineNumber(g_parser)) : 0;
    }
    switch (code) {
        case DATA_ERROR_ATTRIBUTE:
        case DATA_ERROR_ELEMENT:
        case DATA_ERROR_CORRUPT:
            if (g_settings.dataFile)
                ReportMessage(MSG_WARNING, "\r\nCorrupt data file %s\r\n", g_settings.dataFile);
            else
                ReportMessage(MSG_WARNING, "\r\nCorrupt data\r\n");
            break;
        case DATA_ERROR_MEMORY:
            ReportMessage(MSG_WARNING, "\r\nOut of memory\r\n");
            break;
        default:
            break;
    }
}
