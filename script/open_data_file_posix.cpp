// Natively there is no program resource: the embedded data is whatever the
// caller placed in the resource globals.
#include "script/settings.h"
#include "report/message.h"
#include "script/data_reader.h"

bool OpenDataFile(ParseContext* context) {
    context->decoder.stream = nullptr;
    if (g_runOptions.dataFile) {
        context->decoder.stream = fopen(g_runOptions.dataFile, "rb");
        if (!context->decoder.stream) {
            ReportMessage(MSG_ERROR, "\r\nCould not open data file %s\r\n", g_runOptions.dataFile);
            return false;
        }
        return true;
    }
    if (!g_resourceData) {
        ReportMessage(MSG_ERROR, "\r\nCould not load data\r\n");
        return false;
    }
    return true;
}
