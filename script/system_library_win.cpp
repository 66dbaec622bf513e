#include "script/system_library_win.h"

#include <string.h>

bool SystemFolderPath(const char* name, char* out, size_t size) {
    if (!name || !out || size == 0) return false;
    UINT length = GetSystemDirectoryA(out, static_cast<UINT>(size));
    if (length == 0 || length >= size) return false;
    size_t nameLength = strlen(name);
    // The folder, a separator unless it already ends with one, the name, the terminator.
    bool separator = out[length - 1] != '\\';
    if (length + (separator ? 1 : 0) + nameLength + 1 > size) return false;
    if (separator) out[length++] = '\\';
    memcpy(out + length, name, nameLength + 1);
    return true;
}

HMODULE LoadSystemLibrary(const char* name) {
    // A module already in the process was loaded from where the loader
    // trusts (a static import, the activation context of the manifest);
    // taking another reference to it loads nothing new.
    HMODULE loaded = GetModuleHandleA(name);
    if (loaded) {
        char own[MAX_PATH];
        if (GetModuleFileNameA(loaded, own, sizeof own)) {
            HMODULE again = LoadLibraryA(own);
            if (again) return again;
        }
    }
    char path[MAX_PATH];
    if (!SystemFolderPath(name, path, sizeof path)) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return nullptr;
    }
    return LoadLibraryA(path);
}
