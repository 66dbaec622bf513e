// Another process opened for the memory work: its handle, the width of its
// addresses, and its memory as the matching code reads it.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "memory/process_memory.h"

enum TargetBitness {
    TARGET_NATIVE,       // the same bitness as this program
    TARGET_32_ON_64,     // a 32-bit process seen by the 64-bit program
    TARGET_64_FROM_32,   // a 64-bit process seen by the 32-bit program under WOW64
};

// Which kind of process this is; the handle needs query access. Without
// IsWow64Process (older Windows) every process is of this program's kind.
TargetBitness BitnessOf(HANDLE process);

// The memory operations over an open process; addressSize 4 or 8.
ProcessMemory HandleProcessMemory(HANDLE process, uint32_t addressSize);
