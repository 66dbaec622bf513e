// Where the walk found an entry: the directory it listed, still open, and
// the entry's name as the listing gave it. Opened there, the entry is the
// one listed even when the directory's path has since been made to lead
// elsewhere (the folder renamed and a link put in its place), as can happen
// while the user is asked about an earlier file of the same folder.
#pragma once
#include <windows.h>
#include <stdint.h>

struct ListedPlace {
    HANDLE directory;
    const uint16_t* name;  // UTF-16, no terminator
    uint32_t nameBytes;
};

// Opens the entry with access (SYNCHRONIZE and FILE_READ_ATTRIBUTES added),
// for synchronous I/O, with the NT create options given. INVALID_HANDLE_VALUE
// with the thread's last error on failure.
HANDLE OpenListed(const ListedPlace& place, DWORD access, DWORD share, ULONG options);

// Whether entries can be opened where they were listed (the NT family).
bool CanOpenListed();
