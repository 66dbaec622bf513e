// Programs and libraries named without a path are taken from the system
// folder, then the Windows folder, and nowhere else: the system's own search
// would look first in the program's folder and the current folder, where
// anyone may have planted a file of that name.
#pragma once
#include <stddef.h>

// The full path of the program the bare name stands for, in out of size
// bytes: the name as it is when it has an extension, else with ".exe" as the
// system adds it. False, with ERROR_FILE_NOT_FOUND as the last error, when
// neither folder holds it.
bool FindSystemProgram(const char* name, size_t length, char* out, size_t size);

// Whether the file is a Win32 image, which the system starts when named as
// the application; other programs (DOS, 16-bit Windows) are left to its own
// reading of the command line.
bool IsWin32Image(const char* path);
