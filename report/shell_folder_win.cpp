#include "report/shell_folder_win.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

FolderLookup ShellFolderPath(int csidl, char* out, unsigned size) {
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
