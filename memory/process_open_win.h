// Opening a matched process again, by its ID, for a pass to act on it. The
// matched process may have ended since and Windows may have given its ID
// to another one: every open compares the creation time kept at the match
// and leaves such a process alone.
#pragma once
#include <windows.h>
#include <stdint.h>

struct FoundProcess;

// Opens the process with the ID through g_processCalls. Null when it will
// not open (the system's last error says why), or when its creation time
// differs from creationTime: *takenOver is then set and a verbose line
// names the process (name may be null) and the ID. A creation time that
// is not known (0, here or now) is not compared. Keeping the handle open
// keeps the ID from being given to another process.
HANDLE OpenMatchedProcess(uint32_t processId, uint64_t creationTime, const char* name, DWORD access,
                          bool* takenOver);

// The same for a found entry, which is marked taken over: a later open
// answers null at once, with no second line.
HANDLE OpenFoundProcess(FoundProcess* entry, DWORD access);
