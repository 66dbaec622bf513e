// System libraries are loaded by their full path in the system folder.
// A bare name would be searched for in the program's own folder first,
// where anyone who can write beside the program (a Downloads folder, a USB
// stick) could plant a library of that name and have it run with the
// administrator's rights.
#pragma once
#include <windows.h>
#include <stddef.h>

// The system folder followed by a backslash and name, in out of size
// bytes. False when the folder cannot be read or the path does not fit.
bool SystemFolderPath(const char* name, char* out, size_t size);

// The library already loaded under that name (as another module, or the
// activation context, put it there) or else the one in the system folder;
// null when neither is there, with the error of the load. Each answer that
// is not null must be given back with FreeLibrary.
HMODULE LoadSystemLibrary(const char* name);
