#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "report/folder_macro.h"

namespace {

// The sized calls answer the length copied, the size they would need when
// the buffer is too small, or 0 on failure.
FolderLookup FromSizedCall(DWORD answer, unsigned size) {
    if (answer == 0) return FOLDER_FAILED;
    return answer < size ? FOLDER_FOUND : FOLDER_TOO_LONG;
}

FolderLookup ShellFolder(int csidl, char* out, unsigned size) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return FOLDER_FAILED;
    // SHGetPathFromIDListA takes MAX_PATH bytes for granted.
    char path[MAX_PATH] = {};
    BOOL named = SHGetPathFromIDListA(items, path);
    IMalloc* shellAllocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellAllocator)) && shellAllocator) {
        shellAllocator->Free(items);
        shellAllocator->Release();
    }
    if (!named) return FOLDER_FAILED;
    size_t length = strnlen(path, sizeof path);
    if (length >= size || length == sizeof path) return FOLDER_TOO_LONG;
    memcpy(out, path, length);
    out[length] = 0;
    return FOLDER_FOUND;
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
        return ShellFolder(CSIDL_COMMON_STARTUP, out, size);
    case FOLDER_DESKTOP:
        return ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY, out, size);
    default:
        return FOLDER_FAILED;
    }
}
