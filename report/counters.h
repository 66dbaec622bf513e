// Statistics counters of one run, bumped by event code.
#pragma once
#include <stdint.h>

enum EventCode {
    EVENT_FILE_FOUND = 1,
    EVENT_FILE_DELETED = 2,
    EVENT_REGKEY_AFFECTED = 3,
    EVENT_REGKEY_CHANGED = 4,
    EVENT_PROCESS_FOUND = 5,
    EVENT_PROCESS_TERMINATED = 6,
    EVENT_SHARE_DELETED = 7,
    EVENT_FILE_CHANGED = 8,
    EVENT_INI_FOUND = 9,
    EVENT_INI_CHANGED = 10,
    EVENT_SERVICE_REMOVED = 11,
    EVENT_SERVICE_FOUND = 12,
    EVENT_THREAD_FOUND = 13,
    EVENT_THREAD_TERMINATED = 14,
    EVENT_THREAD_ACTION = 15,
    EVENT_PROCESS_TERMINATED_ALIAS = 16,  // same count as EVENT_PROCESS_TERMINATED
};

// The fifteen counters. Codes 6 and 16 share one.
enum CounterIndex {
    COUNT_FILES_FOUND,
    COUNT_FILES_DELETED,
    COUNT_REGKEYS_AFFECTED,
    COUNT_REGKEYS_CHANGED,
    COUNT_PROCESSES_FOUND,
    COUNT_PROCESSES_TERMINATED,
    COUNT_SHARES_DELETED,
    COUNT_FILES_CHANGED,
    COUNT_INI_FOUND,
    COUNT_INI_CHANGED,
    COUNT_SERVICES_REMOVED,
    COUNT_SERVICES_FOUND,
    COUNT_THREADS_FOUND,
    COUNT_THREADS_TERMINATED,
    COUNT_THREAD_ACTIONS,
    COUNTER_COUNT
};

extern int32_t g_counters[COUNTER_COUNT];

// Files that could not be deleted or moved now and were left to Windows to
// remove at its next start. Counted apart from the fifteen: no window
// control shows it, and the summary names it only when it is not 0.
extern int32_t g_filesScheduled;

// Clears the fifteen counters and the files scheduled for the next start.
void ResetCounters();
void CountEvent(int code);
