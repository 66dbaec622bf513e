// What tells one file or folder from every other while it exists: the
// serial number of its volume and its index there. A path can be made to
// lead elsewhere (a folder renamed, a link put in its place); an open
// handle cannot, so the identity is read from the handle.
#pragma once
#include <windows.h>

struct FileIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

// False when the system cannot tell (the handle lacks FILE_READ_ATTRIBUTES,
// or the file system keeps no such numbers and answers 0).
bool ReadFileIdentity(HANDLE handle, FileIdentity* identity);
// The same from what GetFileInformationByHandle gave.
bool IdentityOf(const BY_HANDLE_FILE_INFORMATION& information, FileIdentity* identity);
bool SameFile(const FileIdentity& a, const FileIdentity& b);
