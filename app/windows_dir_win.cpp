#include <windows.h>

#include "app/run_options.h"

bool PlatformWindowsDirectory(char* buffer, unsigned size) {
    if (!buffer || size == 0) return false;
    UINT n = GetWindowsDirectoryA(buffer, size);
    // A result as long as the buffer is the size it would need: not copied.
    return n != 0 && n < size;
}
