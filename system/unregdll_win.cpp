#include <windows.h>
#include <ole2.h>

#include <string.h>

#include "script/system_library_win.h"
#include "system/command_line.h"
#include "system/command_work_win.h"

typedef HRESULT(STDAPICALLTYPE* DllUnregisterServerFn)();

// The library by its full path: a bare name is the system folder's library,
// a relative path is taken from the current folder. Either, given to the
// loader as it is, would be searched for in the program's own folder first.
static HMODULE LoadServer(const char* path) {
    char full[MAX_PATH];
    bool fits;
    if (IsBareName(path, strlen(path))) {
        fits = SystemFolderPath(path, full, sizeof full);
    } else {
        char* name = nullptr;
        DWORD length = GetFullPathNameA(path, sizeof full, full, &name);
        if (length == 0) return nullptr;  // the system says why
        fits = length < sizeof full;
    }
    if (!fits) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    return LoadLibraryA(full);
}

bool UnregisterServer(const char* path) {
    // OLE is uninitialised only when this call initialised it: a thread left
    // in another apartment mode must not lose a reference it never gave.
    bool initialised = SUCCEEDED(OleInitialize(nullptr));
    bool unregistered = false;
    DWORD failure = 0;
    HMODULE library = LoadServer(path);
    if (library) {
        DllUnregisterServerFn entry =
            reinterpret_cast<DllUnregisterServerFn>(GetProcAddress(library, "DllUnregisterServer"));
        if (entry) {
            HRESULT answer = entry();
            unregistered = answer == S_OK;
            failure = static_cast<DWORD>(answer);
        } else {
            failure = GetLastError();
        }
        FreeLibrary(library);
    } else {
        failure = GetLastError();
    }
    if (initialised) OleUninitialize();
    // Unloading and OLE may change the last error: the caller reads why the
    // unregistering failed from it.
    SetLastError(unregistered ? 0 : failure);
    return unregistered;
}
