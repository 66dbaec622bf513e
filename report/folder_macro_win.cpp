#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "report/folder_macro.h"
#include "report/shell_folder_win.h"

namespace {

// The sized calls answer the length copied, the size they would need when
// the buffer is too small, or 0 on failure.
FolderLookup FromSizedCall(DWORD answer, unsigned size) {
    if (answer == 0) return FOLDER_FAILED;
    return answer < size ? FOLDER_FOUND : FOLDER_TOO_LONG;
}

}  // namespace

FolderLookup PlatformSpecialFolder(FolderMacro which, char* out, unsigned size) {
    if (!out || size == 0) return FOLDER_TOO_LONG;
    switch (which) {
    case FOLDER_WINDOWS:
        return FromSizedCall(GetWindowsDirectoryA(out, size), size);
    case FOLDER_SYSTEM:
        return FromSizedCall(GetSystemDirectoryA(out, size), size);
    case FOLDER_TEMP:
        return FromSizedCall(GetTempPathA(size, out), size);
    case FOLDER_STARTUP:
        return ShellFolderPath(CSIDL_COMMON_STARTUP, out, size);
    case FOLDER_DESKTOP:
        return ShellFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, out, size);
    default:
        return FOLDER_FAILED;
    }
}
