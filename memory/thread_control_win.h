// Work below whole processes, Windows NT family only: suspending and
// resuming every thread of a process, visiting the threads of a process,
// the THREAD elements, and releasing a library from another process.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "memory/thread_message.h"
#include "script/parse_context.h"

struct FoundProcess;
struct ProcessRecord;

// Suspends (suspend true) or resumes every thread of the process. Answers
// whether at least one thread was suspended or resumed. A processor fault
// inside is caught and reported. On failure *error, when asked for, is the
// Windows error code of the last thread that failed, or 0 when none said.
bool ProcSuspendResume(uint32_t processId, bool suspend, uint32_t* error = nullptr);

// Visits the threads of a found process. With a message: posts it to each
// thread whose start address lies in [rangeStart, rangeEnd) or cannot be
// read. With neither record nor message: terminates each thread starting in
// the range ("eject"; matched names the library for the report). With a
// THREAD record: tests its patterns on each thread and acts on those that
// match. The process is held open while its threads are visited; one whose
// ID now names another process is left alone (and marked so).
bool WalkProcessThreads(FoundProcess* process, uint64_t rangeStart, uint64_t rangeEnd, ProcessRecord* record,
                        const ThreadMessage* message, const char* matched);

// The THREAD elements. Answers whether a thread termination was tried.
bool RunThreadPass(ProcessRecord* records);
// "eject": the library's threads are terminated and the library released.
void RunLibraryReleasePass(ProcessRecord* records);

// End of a run: resumes and frees the list.
void ResumeSuspendedProcesses(ParseContext* context);

// A thread started in the target runs a small routine copied there: it
// frees the library until it is gone, or it ends the process with code 1.
bool RemoteRelease(HANDLE process, const char* libraryName);
bool RemoteExit(HANDLE process);

// Runs body(argument) and answers false, instead of dying, when a processor
// fault is raised inside it.
bool RunGuarded(void (*body)(void*), void* argument);
