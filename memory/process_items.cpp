#include "memory/process_items.h"

#include <stdlib.h>

#include "memory/process_record.h"
#include "report/run_report.h"
#include "script/action_record.h"

// A record with a path but no name is named by its path.
char* RecordMatchText(const ProcessRecord* record) {
    const char* name = record->processName ? record->processName
                       : record->processPath ? record->processPath
                                             : "any process";
    const char* path = record->processName ? record->processPath : nullptr;
    const char* library = record->library ? record->library->name : nullptr;
    return FormatText("%s%s%s%s%s%s%s", name, path ? " (path " : "", path ? path : "", path ? ")" : "",
                      library ? " (dll " : "", library ? library : "", library ? ")" : "");
}

void RecordProcessWork(int32_t kind, const ProcessRecord* record, const char* subject, const char* action,
                       int32_t outcome, uint32_t error, uint32_t processId, uint32_t threadId) {
    char* matched = RecordMatchText(record);
    RecordItem(kind, subject, matched, action, outcome, error, processId, threadId);
    free(matched);
}

void RecordProcessNotExamined(uint32_t processId, const char* reason, uint32_t error) {
    char* subject = FormatText("process ID %lu", static_cast<unsigned long>(processId));
    RecordNotExamined(ITEM_PROCESS, subject, reason, error, processId);
    free(subject);
}
