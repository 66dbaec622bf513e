// The NT system process list (ZwQuerySystemInformation, class 5): process
// identifiers for the enumeration, and each process's threads.
#pragma once
#include <stdint.h>

#include "memory/nt_layouts.h"

struct SystemProcessList {
    unsigned char* bytes;
    uint32_t size;
};

// Fills the list; the caller frees it with FreeSystemProcesses. Reports
// when ntdll or the function is missing; other failures are silent.
bool QuerySystemProcesses(SystemProcessList* list);
void FreeSystemProcesses(SystemProcessList* list);
// The entry of the process, or null.
const SystemProcess* FindSystemProcess(uint32_t processId, const SystemProcessList* list);
// The identifiers of every listed process, in list order, at most room.
// Answers the count, or -1 when the list cannot be had.
int32_t ListProcessIds(uint32_t* ids, int32_t room);

// The thread entries of a process entry; count is set to how many lie
// wholly inside the list.
const SystemThread* ThreadsOf(const SystemProcess* process, const SystemProcessList* list, uint32_t* count);
inline uint32_t ThreadIdOf(const SystemThread* thread) { return static_cast<uint32_t>(thread->uniqueThread); }
