// The files a run writes for itself (the log, the run report) sit at paths
// that a limited user may have prepared beforehand: on the NT family a hard
// link or a symbolic link at that path would turn the administrator's writes
// onto any file of the volume. Such a file is opened and looked at, and left
// unwritten.
#pragma once
#include <windows.h>

enum OwnFileOpen {
    OWN_FILE_OPENED,   // *file is open for the run to write
    OWN_FILE_FAILED,   // the open failed; GetLastError says why
    OWN_FILE_REFUSED,  // the path names a file of several names or a link; nothing was written
};

// Opens path without sharing, creating it when it does not exist and
// keeping what it holds (the caller appends, or truncates only after this
// check). On the NT family the path's own link is opened, not what it
// points to, and a file with more than one link or a reparse point is
// refused. On the 9x family, which has neither, the open is as it always was.
OwnFileOpen OpenOwnFile(const char* path, DWORD access, HANDLE* file);

// The message for a refused file, with a %s for its path.
#define OWN_FILE_REFUSED_LOG "\r\nNot writing the log file %s: it has more than one name or is a link\r\n"
#define OWN_FILE_REFUSED_REPORT "\r\nNot writing the run report %s: it has more than one name or is a link\r\n"
