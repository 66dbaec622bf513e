#include <windows.h>
#include <ole2.h>

#include "system/command_work_win.h"

typedef HRESULT(STDAPICALLTYPE* DllUnregisterServerFn)();

bool UnregisterServer(const char* path) {
    // OLE is uninitialised only when this call initialised it: a thread left
    // in another apartment mode must not lose a reference it never gave.
    bool initialised = SUCCEEDED(OleInitialize(nullptr));
    bool unregistered = false;
    DWORD failure = 0;
    HMODULE library = LoadLibraryA(path);
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
