#include "memory/process_items.h"

#include <stdlib.h>

#include "memory/process_record.h"
#include "report/run_report.h"
#include "script/action_record.h"

char* RecordMatchText(const ProcessRecord* record) {
    const char* name = record->processName ? record->processName : "any process";
    if (record->library && record->library->name) return FormatText("%s (dll %s)", name, record->library->name);
    return FormatText("%s", name);
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
