#include "disk/nt_family_win.h"

#include <windows.h>

bool OnNtFamily() {
    static int known = -1;
    if (known < 0) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        known = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
    }
    return known == 1;
}
