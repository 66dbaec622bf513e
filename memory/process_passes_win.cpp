#include "memory/process_passes_win.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "memory/enumerate_win.h"
#include "memory/process_items.h"
#include "memory/process_match.h"
#include "memory/process_open_win.h"
#include "memory/process_record.h"
#include "memory/target_win.h"
#include "memory/thread_control_win.h"
#include "memory/thread_message.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"

namespace {

// Acted on by a pass: a PROCESS whose ACTION has a keyword.
bool Actionable(const ProcessRecord* record) { return record->isProcess && RecordKeyword(record); }

const char* OrEmpty(const char* text) { return text ? text : ""; }

// Ends the process the way its keyword and the platform ask. Answers
// whether it ended; *error is the code of a failed TerminateProcess.
bool Terminate(HANDLE process, const ProcessRecord* record, const FoundProcess* entry, bool nt, uint32_t* error) {
    if (!nt) {
        if (TerminateProcess(process, 0xFFFFFFFFu)) return true;
    } else {
        // The routine copied in is of this program's bitness: a process of
        // the other kind is ended from outside.
        bool inside = !KeywordIs(record, "forcekill") && BitnessOf(process) == TARGET_NATIVE;
        if (inside && RemoteExit(process)) return true;
        if (TerminateProcess(process, 1)) return true;
    }
    *error = PlatformLastError();
    ReportMessage(MSG_ERROR, "Could not terminate process %s", entry->moduleName);
    return false;
}

// The terminate part of a "restart" is its own item, named for the work
// ("terminate"); the restart pass's item for starting it again carries the
// keyword.
const char* TerminateItemAction(const ProcessRecord* record) {
    return KeywordIs(record, "restart") ? "terminate" : RecordKeyword(record);
}

// Answers false when the pass must end here. The open comes first in a
// report-only run too: it changes nothing, and a process that will not open
// ends the pass there as it would in a real run. A process whose ID now
// names another one is not counted, and the pass goes on.
bool TerminateEntry(const ProcessRecord* record, FoundProcess* entry, bool nt, int32_t* count) {
    HANDLE process = OpenFoundProcess(entry, PROCESS_FULL_ACCESS);
    uint32_t error = process ? 0 : PlatformLastError();
    if (entry->takenOver) return true;
    CountEvent(EVENT_PROCESS_FOUND);
    if (!process) {
        ReportMessage(MSG_NO_LIST | MSG_INFO, "\r\nCould not open %s process. Process ID: %d", entry->moduleName,
                      static_cast<int>(entry->processId));
        RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, TerminateItemAction(record), OUTCOME_FAILED, error,
                          entry->processId);
        return false;
    }
    bool reportOnly = ReportOnlyRun();
    if (!nt && !reportOnly && g_toolhelp9x.registerServiceProcess)
        g_toolhelp9x.registerServiceProcess(entry->processId, 0);
    if (!KeywordIs(record, "restart")) {
        if (record->virusName && record->virusName[0])
            ReportMessage(MSG_INFO, "\r\n%s %s found in process %s\r\n", OrEmpty(record->typeName), record->virusName,
                          entry->moduleName);
        else
            ReportMessage(MSG_INFO, "\r\n%s found in process %s\r\n", OrEmpty(record->typeName), entry->moduleName);
    }
    if (reportOnly) {
        ReportWouldDo("terminate process %s (process ID %lu)", entry->moduleName,
                      static_cast<unsigned long>(entry->processId));
        RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, TerminateItemAction(record), OUTCOME_WOULD, 0,
                          entry->processId);
        CloseHandle(process);
        return true;
    }
    ReportMessage(MSG_INFO, "\r\nTerminating process %s\r\n", entry->moduleName);
    bool ended = Terminate(process, record, entry, nt, &error);
    WaitForSingleObject(process, 5000);
    if (ended) {
        ++*count;
        CountEvent(EVENT_PROCESS_TERMINATED);
        ReportMessage(MSG_INFO, "Process %s successfully terminated\r\n", entry->moduleName);
    }
    RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, TerminateItemAction(record), OutcomeOf(ended), error,
                      entry->processId);
    CloseHandle(process);
    return true;
}

int32_t TerminatePass(ProcessRecord* records, bool nt) {
    int32_t count = 0;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!Actionable(r) || !(KeywordIs(r, "kill") || KeywordIs(r, "forcekill") || KeywordIs(r, "restart")))
            continue;
        for (FoundProcess* e = r->found; e; e = e->next)
            if (!TerminateEntry(r, e, nt, &count)) return count;
    }
    return count;
}

// Only a process of this program's own account is started again: the
// program it ran may be another user's own, built to match the threat, and
// this run has the administrator's rights.
void Restart(const ProcessRecord* record, const FoundProcess* entry) {
    if (entry->takenOver) return;  // the terminate pass said why
    if (entry->stamp.otherAccount) {
        ReportMessage(MSG_INFO, "\r\nProcess %s was not restarted: it ran under another account\r\n",
                      entry->moduleName);
        RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, "restart", OUTCOME_DECLINED, 0, entry->processId);
        return;
    }
    if (ReportOnlyRun()) {
        ReportWouldDo("restart %s", entry->executablePath);
        RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, "restart", OUTCOME_WOULD, 0, entry->processId);
        return;
    }
    size_t length = strlen(entry->executablePath) + 3;
    char* command = static_cast<char*>(malloc(length));
    UINT started = 0;
    uint32_t error = ERROR_NOT_ENOUGH_MEMORY;
    if (command) {
        snprintf(command, length, "\"%s\"", entry->executablePath);
        started = WinExec(command, SW_SHOWNORMAL);
        // WinExec answers a failure's error code itself (0 for a system
        // out of memory or resources).
        error = started != 0 ? started : PlatformLastError();
        free(command);
    }
    if (started > 31)
        ReportMessage(MSG_INFO, "\r\nProcess %s restarted\r\n", entry->moduleName);
    else
        ReportMessage(MSG_INFO, "\r\nProcess %s could not be restarted\r\n", entry->moduleName);
    RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, "restart", OutcomeOf(started > 31), error,
                      entry->processId);
}

// A report-only run suspends nothing: it says what would be suspended and
// answers 0, so the resume list stays empty.
void ReportSuspension(const ProcessRecord* record, const FoundProcess* entry) {
    // Only "suspendandresume" is resumed at the end of the run; every other
    // keyword leaves the process suspended.
    ReportWouldDo("suspend process %s (process ID %lu)%s", entry->moduleName,
                  static_cast<unsigned long>(entry->processId),
                  KeywordIs(record, "suspendandresume") ? " for the length of the run" : "");
    RecordProcessWork(ITEM_PROCESS, record, entry->moduleName, RecordKeyword(record), OUTCOME_WOULD, 0,
                      entry->processId);
}

int32_t SuspendPass(ProcessRecord* records) {
    int32_t count = 0;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!Actionable(r) || !KeywordStartsSuspend(r)) continue;
        for (FoundProcess* e = r->found; e; e = e->next) {
            // Held while its threads are suspended, so that its ID cannot
            // name another process meanwhile.
            HANDLE process = OpenFoundProcess(e, PROCESS_QUERY_INFORMATION);
            uint32_t error = process ? 0 : PlatformLastError();
            if (e->takenOver) continue;
            if (ReportOnlyRun()) {
                ReportSuspension(r, e);
                if (process) CloseHandle(process);
                continue;
            }
            if (e->moduleName && e->moduleName[0])
                ReportMessage(MSG_VERBOSE | MSG_INFO, "Suspending process %s\r\n", e->moduleName);
            else
                ReportMessage(MSG_VERBOSE | MSG_INFO, "Suspending process\r\n");
            bool suspended = process && ProcSuspendResume(e->processId, true, &error);
            if (process) CloseHandle(process);
            RecordProcessWork(ITEM_PROCESS, r, e->moduleName, RecordKeyword(r), OutcomeOf(suspended), error,
                              e->processId);
            if (suspended) {
                ReportMessage(MSG_VERBOSE | MSG_INFO, "Suspended successfully\r\n");
                Sleep(500);
                ++count;
            } else {
                ReportMessage(MSG_VERBOSE | MSG_INFO, "Could not suspend process\r\n");
                e->processId = 0;  // kept off the resume list
            }
        }
    }
    return count;
}

// Answers whether the thread snapshot could be taken; *error says why not.
bool PostTo9xThreads(uint32_t processId, const ThreadMessage& message, uint32_t* error) {
    HANDLE snapshot = g_toolhelp9x.createSnapshot ? g_toolhelp9x.createSnapshot(TH32CS_SNAPTHREAD, 0)
                                                  : INVALID_HANDLE_VALUE;
    if (snapshot == INVALID_HANDLE_VALUE) {
        *error = g_toolhelp9x.createSnapshot ? PlatformLastError() : 0;
        ReportMessage(MSG_ERROR, "\r\nCouldn't find the process threads\r\n");
        return false;
    }
    THREADENTRY32 thread;
    memset(&thread, 0, sizeof thread);
    thread.dwSize = sizeof thread;
    static_assert(sizeof thread == 28, "THREADENTRY32 is 28 bytes");
    if (g_toolhelp9x.thread32First(snapshot, &thread)) {
        do {
            if (thread.th32OwnerProcessID == processId)
                PostThreadMessageA(thread.th32ThreadID, message.message, message.wParam, message.lParam);
        } while (g_toolhelp9x.thread32Next(snapshot, &thread));
    }
    CloseHandle(snapshot);
    return true;
}

// One item per process: the posts themselves are not looked at, so the
// item fails only when the process's threads could not be reached.
void PostPass(ProcessRecord* records, bool nt) {
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!Actionable(r) || !KeywordIs(r, "PostThreadMessage")) continue;
        ThreadMessage message = ParseThreadMessage(r->action->parameters);
        // A record without library has an empty range: only threads whose
        // start address cannot be read get the message.
        uint64_t start = r->library ? r->library->base : 0;
        uint64_t end = r->library ? r->library->base + r->library->size : 0;
        for (FoundProcess* e = r->found; e; e = e->next) {
            // Held while the message is posted: a thread ID is taken only
            // from a process that is still the one found.
            HANDLE process = OpenFoundProcess(e, PROCESS_QUERY_INFORMATION);
            uint32_t error = process ? 0 : PlatformLastError();
            if (e->takenOver) continue;
            if (ReportOnlyRun()) {
                if (process) CloseHandle(process);
                ReportWouldDo("post message 0x%lX to the threads of process %s (process ID %lu)",
                              static_cast<unsigned long>(message.message), e->moduleName,
                              static_cast<unsigned long>(e->processId));
                RecordProcessWork(ITEM_PROCESS, r, e->moduleName, "PostThreadMessage", OUTCOME_WOULD, 0,
                                  e->processId);
                continue;
            }
            bool reached = false;
            if (process) {
                reached = nt ? WalkProcessThreads(e, start, end, nullptr, &message, nullptr)
                             : PostTo9xThreads(e->processId, message, &error);
                CloseHandle(process);
            }
            RecordProcessWork(ITEM_PROCESS, r, e->moduleName, "PostThreadMessage", OutcomeOf(reached), error,
                              e->processId);
        }
    }
}

}  // namespace

int32_t RunProcessPass(ProcessRecord* records, ProcessPass pass, bool nt) {
    switch (pass) {
    case PASS_TERMINATE:
        return TerminatePass(records, nt);
    case PASS_RESTART:
        for (ProcessRecord* r = records; r; r = r->next)
            if (Actionable(r) && KeywordIs(r, "restart"))
                for (FoundProcess* e = r->found; e; e = e->next) Restart(r, e);
        return 0;
    case PASS_SUSPEND:
        return nt ? SuspendPass(records) : 0;
    case PASS_POST_MESSAGE:
        PostPass(records, nt);
        return 0;
    }
    return 0;
}
