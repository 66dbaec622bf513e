// A special folder of the shell (a CSIDL) as an ANSI path.
#pragma once
#include "report/folder_macro.h"

// FOLDER_TOO_LONG when the path, with its terminator, does not fit in size.
FolderLookup ShellFolderPath(int csidl, char* out, unsigned size);
