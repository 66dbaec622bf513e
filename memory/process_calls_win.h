// The calls that open another process by its ID and tell what process it
// is, behind one table, so that a test can stand in for the system and
// answer as a process that was replaced, or one of another account, would.
#pragma once
#include <windows.h>
#include <stdint.h>

struct ProcessCalls {
    // OpenProcess; null with the system's last error when it will not open.
    HANDLE (*open)(DWORD access, uint32_t processId);
    // When the process was created (GetProcessTimes); 0 when that cannot be
    // read, as on 9x, which answers "not implemented". The handle needs
    // query access.
    uint64_t (*creationTime)(HANDLE process);
    // Whether the process's token names the user this program runs as;
    // false when either token cannot be read. The handle needs query access.
    bool (*sameAccount)(HANDLE process);
};

// The system's own calls.
extern const ProcessCalls kSystemProcessCalls;
// The table every open by ID goes through: the system's, unless a test put
// its own.
extern const ProcessCalls* g_processCalls;

// The system's answer for sameAccount (advapi32, looked up at run time).
bool SameAccountAsOurs(HANDLE process);
