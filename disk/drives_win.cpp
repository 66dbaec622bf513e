#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "disk/drives.h"

int PlatformDriveType(const char* root) { return static_cast<int>(GetDriveTypeA(root)); }

bool PlatformUserFolder(UserFolder which, char* out, unsigned size) {
    int csidl = which == USER_DESKTOP ? CSIDL_DESKTOPDIRECTORY : CSIDL_STARTUP;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return false;
    // SHGetPathFromIDListA takes MAX_PATH bytes for granted.
    char path[MAX_PATH] = {};
    BOOL named = SHGetPathFromIDListA(items, path);
    IMalloc* shellAllocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellAllocator)) && shellAllocator) {
        shellAllocator->Free(items);
        shellAllocator->Release();
    }
    size_t length = strnlen(path, sizeof path);
    if (!named || length == sizeof path || length >= size) return false;
    memcpy(out, path, length + 1);
    return true;
}
