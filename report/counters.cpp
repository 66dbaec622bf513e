#include <stdio.h>
#include <string.h>

#include "report/counters.h"
#include "report/message.h"

int32_t g_counters[COUNTER_COUNT];
int32_t g_filesScheduled;

namespace {

enum { NO_CONTROL = 0, NO_COUNTER = -1 };

struct EventRow {
    int code;
    int counter;
    int control;       // window control that shows it, or NO_CONTROL
    int addedCounter;  // shown together with counter, or NO_COUNTER
};

// Deleted and changed files share one control, which shows their sum.
const EventRow kEvents[] = {
    {EVENT_FILE_FOUND, COUNT_FILES_FOUND, 1029, NO_COUNTER},
    {EVENT_FILE_DELETED, COUNT_FILES_DELETED, 1032, COUNT_FILES_CHANGED},
    {EVENT_REGKEY_AFFECTED, COUNT_REGKEYS_AFFECTED, 1030, NO_COUNTER},
    {EVENT_REGKEY_CHANGED, COUNT_REGKEYS_CHANGED, 1033, NO_COUNTER},
    {EVENT_PROCESS_FOUND, COUNT_PROCESSES_FOUND, 1031, NO_COUNTER},
    {EVENT_PROCESS_TERMINATED, COUNT_PROCESSES_TERMINATED, 1034, NO_COUNTER},
    {EVENT_SHARE_DELETED, COUNT_SHARES_DELETED, NO_CONTROL, NO_COUNTER},
    {EVENT_FILE_CHANGED, COUNT_FILES_CHANGED, 1032, COUNT_FILES_DELETED},
    {EVENT_INI_FOUND, COUNT_INI_FOUND, NO_CONTROL, NO_COUNTER},
    {EVENT_INI_CHANGED, COUNT_INI_CHANGED, NO_CONTROL, NO_COUNTER},
    {EVENT_SERVICE_REMOVED, COUNT_SERVICES_REMOVED, NO_CONTROL, NO_COUNTER},
    {EVENT_SERVICE_FOUND, COUNT_SERVICES_FOUND, NO_CONTROL, NO_COUNTER},
    {EVENT_THREAD_FOUND, COUNT_THREADS_FOUND, NO_CONTROL, NO_COUNTER},
    {EVENT_THREAD_TERMINATED, COUNT_THREADS_TERMINATED, NO_CONTROL, NO_COUNTER},
    {EVENT_THREAD_ACTION, COUNT_THREAD_ACTIONS, NO_CONTROL, NO_COUNTER},
    {EVENT_PROCESS_TERMINATED_ALIAS, COUNT_PROCESSES_TERMINATED, 1034, NO_COUNTER},
};

// Counts wrap rather than overflow; a run never gets near either way.
int32_t Wrapped(uint32_t value) { return (int32_t)value; }

}  // namespace

void ResetCounters() {
    memset(g_counters, 0, sizeof g_counters);
    g_filesScheduled = 0;
}

void CountEvent(int code) {
    const EventRow* row = nullptr;
    for (const EventRow& r : kEvents) {
        if (r.code == code) {
            row = &r;
            break;
        }
    }
    if (!row) return;

    g_counters[row->counter] = Wrapped((uint32_t)g_counters[row->counter] + 1u);
    if (row->control == NO_CONTROL || g_report.mainWindow == nullptr) return;
    const MessageSinks* sinks = g_report.sinks;
    if (!sinks || !sinks->setControlText) return;

    uint32_t shown = (uint32_t)g_counters[row->counter];
    if (row->addedCounter != NO_COUNTER) shown += (uint32_t)g_counters[row->addedCounter];
    char text[16];
    snprintf(text, sizeof text, "%ld", (long)Wrapped(shown));
    sinks->setControlText(g_report.mainWindow, row->control, text);
}
