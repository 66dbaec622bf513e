#include <windows.h>

#include "system/command_line.h"

uint32_t PlatformShortPath(const char* path, char* out, size_t size) {
    DWORD length = GetShortPathNameA(path, out, static_cast<DWORD>(size));
    if (length == 0) {
        DWORD failure = GetLastError();
        return failure ? failure : ERROR_FILE_NOT_FOUND;
    }
    // Too small a buffer is answered with the size it would need.
    return length < size ? 0 : ERROR_FILENAME_EXCED_RANGE;
}
