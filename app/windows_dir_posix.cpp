// Native stand-in for the Windows directory, which tests may change or
// remove.
#include <string.h>

#include "app/run_options.h"

namespace {
char g_windowsDir[LOG_PATH_SIZE] = "C:\\WINDOWS";
bool g_windowsDirAvailable = true;
}  // namespace

// Null makes PlatformWindowsDirectory fail; tests restore "C:\WINDOWS".
void SetTestWindowsDirectory(const char* dir) {
    g_windowsDirAvailable = dir != nullptr;
    if (!dir) return;
    strncpy(g_windowsDir, dir, sizeof g_windowsDir - 1);
    g_windowsDir[sizeof g_windowsDir - 1] = 0;
}

bool PlatformWindowsDirectory(char* buffer, unsigned size) {
    size_t n = strlen(g_windowsDir);
    if (!g_windowsDirAvailable || n >= size) return false;
    memcpy(buffer, g_windowsDir, n + 1);
    return true;
}
