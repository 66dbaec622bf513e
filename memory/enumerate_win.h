// Listing the running processes and their modules on each Windows family,
// with the match test run for every process and record.
#pragma once
#include <windows.h>

#include "memory/system_api_win.h"

struct ProcessRecord;

// PROCESS_ALL_ACCESS as Windows NT 4 to XP know it.
enum : DWORD { PROCESS_FULL_ACCESS = 0x1F0FFF };

// The kernel32 entry points of the 9x enumeration, which the 9x process
// passes also use. Filled by Enumerate9x, released by Release9xApis.
struct Toolhelp9x {
    HMODULE kernel32;
    RegisterServiceProcessFn registerServiceProcess;
    CreateToolhelp32SnapshotFn createSnapshot;
    Process32Fn process32First;
    Process32Fn process32Next;
    Module32Fn module32First;
    Module32Fn module32Next;
    Thread32Fn thread32First;
    Thread32Fn thread32Next;
};
extern Toolhelp9x g_toolhelp9x;

// Windows 95, 98 and Me. Answers whether any process was examined.
bool Enumerate9x(ProcessRecord* records);
void Release9xApis();

// Windows NT, 2000 and XP. Answers false when the process identifiers
// cannot be listed.
bool EnumerateNT(ProcessRecord* records);
