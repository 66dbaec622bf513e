// The modules of another NT process, read from the loader data it keeps in
// its own memory: the process environment block, its loader data and the
// in-memory-order module list, at the layout of the process's bitness.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "memory/target_win.h"

enum { MAX_MODULES = 1024, MODULE_NAME_SIZE = 260 };

struct LoaderList {
    HANDLE process;
    bool wide;      // 64-bit layouts
    uint64_t head;  // address of the list head in the process
};

// Finds the list head. False when the process cannot be asked or read, or
// when it is of a kind this program does not read (a 64-bit process seen
// by the 32-bit program).
bool OpenLoaderList(HANDLE process, TargetBitness bitness, LoaderList* list);
// Base addresses of the modules in list order, the executable first, at
// most MAX_MODULES. Answers the count, or -1 when a read fails.
int32_t ListModules(const LoaderList* list, uint64_t* bases);
// The module's base name or full path, in at most 259 characters. False
// when the module is not in the list or its name cannot be read or is empty.
bool GetModuleName(const LoaderList* list, uint64_t base, char* name, bool fullPath);
