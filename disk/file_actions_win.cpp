// The Win32 file operations behind the file actions.
#include <windows.h>

#include "disk/file_actions.h"

bool PlatformClearAttributes(const char* path) { return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0; }

bool PlatformDeleteFile(const char* path) { return DeleteFileA(path) != 0; }

bool PlatformCopyFile(const char* from, const char* to) { return CopyFileA(from, to, FALSE) != 0; }

bool PlatformMoveFile(const char* from, const char* to) { return MoveFileA(from, to) != 0; }
