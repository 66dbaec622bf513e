#include <stdlib.h>
#include <string.h>

#include "memory/enumerate_win.h"
#include "memory/process_items.h"
#include "memory/process_match.h"
#include "memory/process_open_win.h"
#include "memory/process_record.h"
#include "memory/system_api_win.h"
#include "memory/system_processes_win.h"
#include "memory/target_win.h"
#include "memory/thread_control_win.h"
#include "memory/thread_open_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/pattern_record.h"

namespace {

enum : DWORD { THREAD_FULL_ACCESS = 0x1F03FF };
enum : uint32_t { THREAD_ACTED = 0x1, THREAD_CLEANED = 0x2 };

// Thread walk state: what the walk did to the threads of one process, and
// whether any termination was tried in the thread pass.
uint32_t g_threadFlags = 0;
bool g_anyTerminated = false;

uint64_t StartAddressOf(HANDLE thread) {
    if (!thread) return 0;
    void* start = nullptr;
    ZwQueryInformationThreadFn query = g_processApi.zwQueryInformationThread;
    if (query(thread, THREAD_START_ADDRESS_CLASS, &start, sizeof start, nullptr) < 0) return 0;
    return reinterpret_cast<uintptr_t>(start);
}

// What the items of one walk's thread work are recorded under.
struct WalkSubject {
    FoundProcess* process;
    const char* action;   // the THREAD record's keyword, or "eject"
    const char* matched;  // what of the data file the threads answer to
};

void RecordThreadWork(const WalkSubject* walk, uint32_t threadId, int32_t outcome, uint32_t error = 0) {
    RecordItem(ITEM_THREAD, walk->process->moduleName, walk->matched, walk->action, outcome, error,
               walk->process->processId, threadId);
}

// Ends one thread and closes its handle. Answers false when it would not end.
bool TerminateOne(HANDLE thread, uint32_t threadId, const WalkSubject* walk) {
    CountEvent(EVENT_THREAD_FOUND);
    g_threadFlags |= THREAD_ACTED;
    // Set in a report-only run too: a later MEMORY element then reports the
    // passes a real run would carry out.
    g_anyTerminated = true;
    if (ReportOnlyRun()) {
        ReportWouldDo("terminate thread %lu of process %s", static_cast<unsigned long>(threadId),
                      walk->process->moduleName);
        RecordThreadWork(walk, threadId, OUTCOME_WOULD);
        CloseHandle(thread);
        return true;
    }
    bool ended = TerminateThread(thread, 1) != FALSE;
    uint32_t error = ended ? 0 : PlatformLastError();
    if (ended) {
        CountEvent(EVENT_THREAD_TERMINATED);
        Sleep(1000);
        ReportMessage(MSG_VERBOSE | MSG_INFO, "Terminated thread\r\n");
        g_threadFlags |= THREAD_CLEANED;
    } else {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCould not terminate thread\r\n");
    }
    RecordThreadWork(walk, threadId, OutcomeOf(ended), error);
    CloseHandle(thread);
    return ended;
}

// The thread's stack pointer, read while it is suspended (or, in a
// report-only run, as it runs).
uint64_t StackPointerOf(HANDLE thread, TargetBitness bitness) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    if (bitness == TARGET_32_ON_64) {
        typedef BOOL(WINAPI * Wow64GetThreadContextFn)(HANDLE, WOW64_CONTEXT*);
        Wow64GetThreadContextFn get =
            reinterpret_cast<Wow64GetThreadContextFn>(GetProcAddress(ApiKernel32(), "Wow64GetThreadContext"));
        WOW64_CONTEXT context;
        memset(&context, 0, sizeof context);
        context.ContextFlags = WOW64_CONTEXT_FULL;
        return get && get(thread, &context) ? context.Esp : 0;
    }
    CONTEXT context;
    memset(&context, 0, sizeof context);
    context.ContextFlags = CONTEXT_FULL;
    return GetThreadContext(thread, &context) ? context.Rsp : 0;
#else
    CONTEXT context;
    memset(&context, 0, sizeof context);
    context.ContextFlags = CONTEXT_FULL;
    static_assert(CONTEXT_FULL == 0x10007, "CONTEXT_FULL of the i386 context");
    return GetThreadContext(thread, &context) ? context.Esp : 0;
#endif
}

// Every pattern of the THREAD record on one thread. *suspended tells
// whether a "stack" pattern suspended the thread for the test.
bool PatternsFit(ProcessRecord* record, const ProcessMemory* memory, HANDLE thread, TargetBitness bitness,
                 uint64_t start, bool* suspended) {
    uint64_t stack = 0;
    bool stackRead = false;
    for (PatternRecord* p = record->patterns; p; p = p->next) {
        uint64_t base = start;
        if (p->origin == ORIGIN_STACK) {
            if (!stackRead && thread) {
                // A report-only run must not stop the thread: it reads the
                // context of the running thread as it is, so the stack
                // pointer may be a moment old when the pattern is read.
                if (!ReportOnlyRun()) {
                    SuspendThread(thread);
                    *suspended = true;
                }
                stackRead = true;
                stack = StackPointerOf(thread, bitness);
            }
            base = stack;
        }
        if (base == 0 || !MatchBytesAt(memory, AddressPlus(memory, base, 0, p->offset), p)) return false;
    }
    return true;
}

// "suspend" on a matching thread: one suspension more, kept after the run.
void SuspendMatched(HANDLE thread, uint32_t threadId, const WalkSubject* walk) {
    if (ReportOnlyRun()) {
        ReportWouldDo("suspend thread %lu of process %s", static_cast<unsigned long>(threadId),
                      walk->process->moduleName);
        RecordThreadWork(walk, threadId, OUTCOME_WOULD);
        return;
    }
    bool suspended = SuspendThread(thread) != 0xFFFFFFFFu;
    RecordThreadWork(walk, threadId, OutcomeOf(suspended), suspended ? 0 : PlatformLastError());
}

// "write" on a matching thread: the patches go in relative to its start
// address while it is suspended.
void PatchMatched(ProcessRecord* record, const ProcessMemory* memory, HANDLE thread, uint32_t threadId, uint64_t start,
                  bool suspended, const WalkSubject* walk) {
    g_threadFlags |= THREAD_ACTED;
    CountEvent(EVENT_THREAD_FOUND);
    if (ReportOnlyRun()) {
        g_actionsPending = 1;  // as the patch would have set it
        ReportWouldDo("patch the memory of process %s for thread %lu", walk->process->moduleName,
                      static_cast<unsigned long>(threadId));
        RecordThreadWork(walk, threadId, OUTCOME_WOULD);
        return;
    }
    if (!suspended) SuspendThread(thread);
    uint32_t error = 0;
    bool patched = PatchProcessMemory(record, memory, start, &error);
    if (patched) g_threadFlags |= THREAD_CLEANED;
    CountEvent(EVENT_THREAD_ACTION);
    ResumeThread(thread);
    RecordThreadWork(walk, threadId, OutcomeOf(patched), error);
}

// A THREAD record's work on one thread. Answers false when the walk must
// stop (the process cannot be opened); *failed is set by a failed termination.
bool ActOnThread(const WalkSubject* walk, HANDLE thread, uint32_t threadId, uint64_t start, ProcessRecord* record,
                 bool* failed) {
    if (record->library && (start < record->library->base || start > record->library->base + record->library->size)) {
        if (thread) CloseHandle(thread);
        return true;
    }
    uint32_t processId = walk->process->processId;
    HANDLE process = OpenFoundProcess(walk->process, PROCESS_FULL_ACCESS);
    if (!process && walk->process->takenOver) {
        if (thread) CloseHandle(thread);
        return false;
    }
    if (!process) {
        uint32_t error = PlatformLastError();
        ReportMessage(MSG_NO_LIST | MSG_INFO, "\r\nCould not open process. Process ID: %d\r\n",
                      static_cast<int>(processId));
        RecordProcessNotExamined(processId, "could not be opened", error);
        if (thread) CloseHandle(thread);
        return false;
    }
    TargetBitness bitness = BitnessOf(process);
    ProcessMemory memory = HandleProcessMemory(process, bitness == TARGET_NATIVE ? sizeof(void*) : 4);
    bool suspended = false;
    if (!PatternsFit(record, &memory, thread, bitness, start, &suspended)) {
        if (suspended) ResumeThread(thread);
        CloseHandle(process);
        if (thread) CloseHandle(thread);
        return true;
    }
    bool terminate = false;
    if (KeywordIs(record, "suspend"))
        SuspendMatched(thread, threadId, walk);
    else if (KeywordIs(record, "write"))
        PatchMatched(record, &memory, thread, threadId, start, suspended, walk);
    else
        terminate = true;
    if (record->action->setInfected) MarkInfected();
    CloseHandle(process);
    if (terminate) {
        if (!TerminateOne(thread, threadId, walk)) *failed = true;
    } else {
        CloseHandle(thread);
    }
    return true;
}

// The threads of the process as the system lists them, with the process
// held open meanwhile, so that its ID names the process found all along.
bool WalkHeldProcess(FoundProcess* found, uint64_t rangeStart, uint64_t rangeEnd, ProcessRecord* record,
                     const ThreadMessage* message, const char* matched) {
    uint32_t processId = found->processId;
    SystemProcessList list;
    if (!QuerySystemProcesses(&list)) return false;
    const SystemProcess* process = FindSystemProcess(processId, &list);
    if (!process) {
        FreeSystemProcesses(&list);
        return false;
    }
    char* recordMatch = record ? RecordMatchText(record) : nullptr;
    WalkSubject walk = {found, record ? RecordKeyword(record) : "eject", record ? recordMatch : matched};
    bool failed = false;
    uint32_t count = 0;
    const SystemThread* threads = ThreadsOf(process, &list, &count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t threadId = ThreadIdOf(&threads[i]);
        HANDLE thread = ZwOpenThreadById(threadId, THREAD_FULL_ACCESS);
        uint64_t start = StartAddressOf(thread);
        bool inRange = start >= rangeStart && start < rangeEnd;
        if (message) {
            if (start == 0 || inRange) PostThreadMessageA(threadId, message->message, message->wParam, message->lParam);
        } else if (!record) {
            if (inRange && thread) {
                if (!TerminateOne(thread, threadId, &walk)) failed = true;
                continue;
            }
        } else {
            if (!ActOnThread(&walk, thread, threadId, start, record, &failed)) break;
            continue;
        }
        if (thread) CloseHandle(thread);
    }
    free(recordMatch);
    FreeSystemProcesses(&list);
    return !failed;
}

}  // namespace

bool WalkProcessThreads(FoundProcess* found, uint64_t rangeStart, uint64_t rangeEnd, ProcessRecord* record,
                        const ThreadMessage* message, const char* matched) {
    HMODULE ntdll = ApiNtdll();
    if (!CachedEntry(&g_processApi.zwQueryInformationThread, ntdll, "ZwQueryInformationThread")) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCouldn't load ZwQueryInformationThread\r\n");
        return false;
    }
    if (!CachedEntry(&g_processApi.zwOpenThread, ntdll, "ZwOpenThread")) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCouldn't load ZwOpenThread\r\n");
        return false;
    }
    HANDLE held = OpenFoundProcess(found, PROCESS_QUERY_INFORMATION);
    if (!held) return false;
    bool walked = WalkHeldProcess(found, rangeStart, rangeEnd, record, message, matched);
    CloseHandle(held);
    return walked;
}

bool RunThreadPass(ProcessRecord* records) {
    g_anyTerminated = false;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (r->isProcess || !RecordKeyword(r) || !r->patterns) continue;
        if (!KeywordIs(r, "kill") && !KeywordStartsSuspend(r) && !KeywordIs(r, "write")) continue;
        for (FoundProcess* e = r->found; e; e = e->next) {
            g_threadFlags = 0;
            WalkProcessThreads(e, 0, 0, r, nullptr, nullptr);
            if (g_threadFlags & THREAD_ACTED) CountEvent(EVENT_PROCESS_FOUND);
            if (g_threadFlags & THREAD_CLEANED) CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
        }
    }
    return g_anyTerminated;
}

namespace {

void RecordRelease(const ProcessRecord* record, const FoundProcess* entry, int32_t outcome, uint32_t error = 0) {
    char* matched = RecordMatchText(record);
    RecordItem(ITEM_LIBRARY, record->action->library->name, matched, "eject", outcome, error, entry->processId);
    free(matched);
}

// Answers whether the library was released; a process whose ID now names
// another one is neither counted nor acted on.
bool ReleaseLibrary(const ProcessRecord* record, FoundProcess* entry) {
    const LibraryRef* library = record->action->library;
    // Opened first, with query access, to learn the process's bitness: the
    // routine copied in must be of its own kind, and a process this program
    // cannot release from keeps its threads too. A report-only run opens it
    // as well, which changes nothing, to tell what a real run would meet.
    HANDLE process = OpenFoundProcess(entry, PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                                 PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION);
    uint32_t openError = process ? 0 : PlatformLastError();
    if (entry->takenOver) return false;
    CountEvent(EVENT_PROCESS_FOUND);
    if (!process) {
        RecordRelease(record, entry, OUTCOME_FAILED, openError);
        return false;
    }
    bool released = false;
    uint32_t error = 0;
    if (BitnessOf(process) == TARGET_NATIVE) {
        // In a report-only run the walk only names the threads it would end.
        if (!WalkProcessThreads(entry, library->base, library->base + library->size, nullptr, nullptr,
                                library->name)) {
            RecordRelease(record, entry, OUTCOME_FAILED);  // the thread items say why
            CloseHandle(process);
            return false;
        }
        if (ReportOnlyRun()) {
            ReportWouldDo("release %s from process %s", library->name, entry->moduleName);
            RecordRelease(record, entry, OUTCOME_WOULD);
            CloseHandle(process);
            return false;
        }
        released = RemoteRelease(process, library->name);
        if (!released) error = PlatformLastError();
    }
    if (released)
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nReleased %s\r\n", library->name);
    else
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCould not release %s\r\n", library->name);
    RecordRelease(record, entry, OutcomeOf(released), error);
    CloseHandle(process);
    return released;
}

}  // namespace

void RunLibraryReleasePass(ProcessRecord* records) {
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!r->isProcess || !KeywordIs(r, "eject") || !r->action->library) continue;
        for (FoundProcess* e = r->found; e; e = e->next) {
            if (ReleaseLibrary(r, e)) CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
        }
    }
}
