#include <stdlib.h>
#include <string.h>

#include "memory/enumerate_win.h"
#include "memory/process_match.h"
#include "memory/process_record.h"
#include "memory/system_api_win.h"
#include "memory/system_processes_win.h"
#include "memory/target_win.h"
#include "memory/thread_control_win.h"
#include "memory/thread_open_win.h"
#include "report/counters.h"
#include "report/message.h"
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

// Ends one thread and closes its handle. Answers false when it would not end.
bool TerminateOne(HANDLE thread) {
    CountEvent(EVENT_THREAD_FOUND);
    g_threadFlags |= THREAD_ACTED;
    g_anyTerminated = true;
    bool ended = TerminateThread(thread, 1) != FALSE;
    if (ended) {
        CountEvent(EVENT_THREAD_TERMINATED);
        Sleep(1000);
        ReportMessage(MSG_VERBOSE | MSG_INFO, "Terminated thread\r\n");
        g_threadFlags |= THREAD_CLEANED;
    } else {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCould not terminate thread\r\n");
    }
    CloseHandle(thread);
    return ended;
}

// The thread's stack pointer, read while it is suspended.
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
    for (PatternRecord* p = record->patterns; p; p = p->next) {
        uint64_t base = start;
        if (p->origin == ORIGIN_STACK) {
            if (!*suspended && thread) {
                SuspendThread(thread);
                *suspended = true;
                stack = StackPointerOf(thread, bitness);
            }
            base = stack;
        }
        if (base == 0 || !MatchBytesAt(memory, AddressPlus(memory, base, 0, p->offset), p)) return false;
    }
    return true;
}

// A THREAD record's work on one thread. Answers false when the walk must
// stop (the process cannot be opened); *failed is set by a failed termination.
bool ActOnThread(uint32_t processId, HANDLE thread, uint64_t start, ProcessRecord* record, bool* failed) {
    if (record->library && (start < record->library->base || start > record->library->base + record->library->size)) {
        if (thread) CloseHandle(thread);
        return true;
    }
    HANDLE process = OpenProcess(PROCESS_FULL_ACCESS, FALSE, processId);
    if (!process) {
        ReportMessage(MSG_NO_LIST | MSG_INFO, "\r\nCould not open process. Process ID: %d\r\n",
                      static_cast<int>(processId));
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
    if (KeywordIs(record, "suspend")) {
        SuspendThread(thread);  // stays suspended after the run
    } else if (KeywordIs(record, "write")) {
        if (!suspended) SuspendThread(thread);
        g_threadFlags |= THREAD_ACTED;
        CountEvent(EVENT_THREAD_FOUND);
        if (PatchProcessMemory(record, &memory, start)) g_threadFlags |= THREAD_CLEANED;
        CountEvent(EVENT_THREAD_ACTION);
        ResumeThread(thread);
    } else {
        terminate = true;
    }
    if (record->action->setInfected) MarkInfected();
    CloseHandle(process);
    if (terminate) {
        if (!TerminateOne(thread)) *failed = true;
    } else {
        CloseHandle(thread);
    }
    return true;
}

}  // namespace

bool WalkProcessThreads(uint32_t processId, uint64_t rangeStart, uint64_t rangeEnd, ProcessRecord* record,
                        const ThreadMessage* message) {
    HMODULE ntdll = ApiNtdll();
    if (!CachedEntry(&g_processApi.zwQueryInformationThread, ntdll, "ZwQueryInformationThread")) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCouldn't load ZwQueryInformationThread\r\n");
        return false;
    }
    if (!CachedEntry(&g_processApi.zwOpenThread, ntdll, "ZwOpenThread")) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCouldn't load ZwOpenThread\r\n");
        return false;
    }
    SystemProcessList list;
    if (!QuerySystemProcesses(&list)) return false;
    const SystemProcess* process = FindSystemProcess(processId, &list);
    if (!process) {
        FreeSystemProcesses(&list);
        return false;
    }
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
                if (!TerminateOne(thread)) failed = true;
                continue;
            }
        } else {
            if (!ActOnThread(processId, thread, start, record, &failed)) break;
            continue;
        }
        if (thread) CloseHandle(thread);
    }
    FreeSystemProcesses(&list);
    return !failed;
}

bool RunThreadPass(ProcessRecord* records) {
    g_anyTerminated = false;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (r->isProcess || !RecordKeyword(r) || !r->patterns) continue;
        if (!KeywordIs(r, "kill") && !KeywordStartsSuspend(r) && !KeywordIs(r, "write")) continue;
        for (FoundProcess* e = r->found; e; e = e->next) {
            g_threadFlags = 0;
            WalkProcessThreads(e->processId, 0, 0, r, nullptr);
            if (g_threadFlags & THREAD_ACTED) CountEvent(EVENT_PROCESS_FOUND);
            if (g_threadFlags & THREAD_CLEANED) CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
        }
    }
    return g_anyTerminated;
}

namespace {

bool ReleaseLibrary(uint32_t processId, const LibraryRef* library) {
    // Opened first, with query access, to learn the process's bitness: the
    // routine copied in must be of its own kind, and a process this program
    // cannot release from keeps its threads too.
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION,
                                 FALSE, processId);
    if (!process) return false;
    bool released = false;
    if (BitnessOf(process) == TARGET_NATIVE) {
        if (!WalkProcessThreads(processId, library->base, library->base + library->size, nullptr, nullptr)) {
            CloseHandle(process);
            return false;
        }
        released = RemoteRelease(process, library->name);
    }
    if (released)
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nReleased %s\r\n", library->name);
    else
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCould not release %s\r\n", library->name);
    CloseHandle(process);
    return released;
}

}  // namespace

void RunLibraryReleasePass(ProcessRecord* records) {
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!r->isProcess || !KeywordIs(r, "eject") || !r->action->library) continue;
        for (FoundProcess* e = r->found; e; e = e->next) {
            CountEvent(EVENT_PROCESS_FOUND);
            if (ReleaseLibrary(e->processId, r->action->library)) CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
        }
    }
}
