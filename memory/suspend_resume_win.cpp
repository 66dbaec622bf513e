#include <stdlib.h>
#include <string.h>

#include "memory/process_match.h"
#include "memory/process_open_win.h"
#include "memory/resume_list.h"
#include "memory/process_record.h"
#include "memory/system_api_win.h"
#include "memory/system_processes_win.h"
#include "memory/thread_control_win.h"
#include "memory/thread_open_win.h"
#include "report/message.h"
#include "report/run_report.h"

namespace {

// What one call holds, so that a fault inside can still release it.
struct SuspendJob {
    uint32_t processId;
    bool suspend;
    bool done;
    uint32_t error;  // of the last thread that would not open, suspend or resume
    HANDLE snapshot;
    HANDLE thread;
    SystemProcessList list;
};

bool LookUpEntryPoints() {
    HMODULE kernel32 = ApiKernel32();
    ApiNtdll();
    if (kernel32) {
        CachedEntry(&g_processApi.createToolhelp32Snapshot, kernel32, "CreateToolhelp32Snapshot");
        CachedEntry(&g_processApi.thread32First, kernel32, "Thread32First");
        CachedEntry(&g_processApi.thread32Next, kernel32, "Thread32Next");
    }
    if (!CachedEntry(&g_processApi.openThread, kernel32, "OpenThread"))
        CachedEntry(&g_processApi.zwOpenThread, g_processApi.ntdll, "ZwOpenThread");
    return g_processApi.openThread || g_processApi.zwOpenThread;
}

// Suspends or resumes the opened job->thread and closes it.
void SuspendOrResumeOpened(SuspendJob* job) {
    DWORD previous = job->suspend ? SuspendThread(job->thread) : ResumeThread(job->thread);
    if (previous != 0xFFFFFFFFu)
        job->done = true;
    else
        job->error = PlatformLastError();
    CloseHandle(job->thread);
    job->thread = nullptr;
}

void Act(SuspendJob* job, uint32_t threadId) {
    job->thread = OpenThreadById(threadId, THREAD_SUSPEND_RESUME);
    if (!job->thread) {
        // ZwOpenThread answers a status, not a Windows error: only
        // OpenThread leaves one to read.
        if (g_processApi.openThread) job->error = PlatformLastError();
        return;
    }
    SuspendOrResumeOpened(job);
}

// Windows 2000 and XP: the threads from a Toolhelp snapshot.
void WithSnapshot(SuspendJob* job) {
    job->snapshot = g_processApi.createToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (job->snapshot == INVALID_HANDLE_VALUE) {
        job->error = PlatformLastError();
        job->snapshot = nullptr;
        return;
    }
    THREADENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    if (g_processApi.thread32First(job->snapshot, &entry)) {
        do {
            if (entry.th32OwnerProcessID == job->processId) Act(job, entry.th32ThreadID);
        } while (g_processApi.thread32Next(job->snapshot, &entry));
    }
    CloseHandle(job->snapshot);
    job->snapshot = nullptr;
}

// NT 4: the threads from the system process list.
void WithSystemList(SuspendJob* job) {
    if (!g_processApi.zwOpenThread || !QuerySystemProcesses(&job->list)) return;
    const SystemProcess* process = FindSystemProcess(job->processId, &job->list);
    if (process) {
        uint32_t count = 0;
        const SystemThread* threads = ThreadsOf(process, &job->list, &count);
        for (uint32_t i = 0; i < count; ++i) {
            job->thread = ZwOpenThreadById(ThreadIdOf(&threads[i]), THREAD_SUSPEND_RESUME);
            if (job->thread) SuspendOrResumeOpened(job);
        }
    }
    FreeSystemProcesses(&job->list);
}

void SuspendOrResume(void* argument) {
    SuspendJob* job = static_cast<SuspendJob*>(argument);
    if (!LookUpEntryPoints()) return;
    if (g_processApi.createToolhelp32Snapshot && g_processApi.thread32First && g_processApi.thread32Next)
        WithSnapshot(job);
    else
        WithSystemList(job);
}

}  // namespace

bool ProcSuspendResume(uint32_t processId, bool suspend, uint32_t* error) {
    SuspendJob job = {processId, suspend, false, 0, nullptr, nullptr, {nullptr, 0}};
    bool ran = RunGuarded(SuspendOrResume, &job);
    if (error) *error = job.done ? 0 : job.error;
    if (ran) return job.done;
    // Whatever the fault left open is released here.
    if (job.thread) CloseHandle(job.thread);
    if (job.snapshot) CloseHandle(job.snapshot);
    FreeSystemProcesses(&job.list);
    ReportMessage(MSG_INFO, "\r\nCaught an exception in ProcSuspendResume\r\n");
    return false;
}

namespace {

// Resumes one listed process, held open meanwhile; one whose ID now names
// another process is left as it is.
void ResumeListed(uint32_t processId, uint64_t creationTime) {
    bool takenOver = false;
    HANDLE process = OpenMatchedProcess(processId, creationTime, nullptr, PROCESS_QUERY_INFORMATION, &takenOver);
    if (takenOver) return;
    if (!process || !ProcSuspendResume(processId, false))
        ReportMessage(MSG_WARNING, "Could not resume process %ld\r\n", static_cast<long>(processId));
    if (process) CloseHandle(process);
}

}  // namespace

void ResumeSuspendedProcesses(ParseContext* context) {
    uint32_t* list = context->suspendedProcesses;
    if (!list) return;
    const uint64_t* times = ResumeListTimes(list);
    for (size_t i = 0; list[i]; ++i) ResumeListed(list[i], times[i]);
    free(list);
    context->suspendedProcesses = nullptr;
}
