#include <windows.h>
#include <ole2.h>

#include "system/command_work_win.h"

typedef HRESULT(STDAPICALLTYPE* DllUnregisterServerFn)();

bool UnregisterServer(const char* path) {
    // OLE is uninitialised only when this call initialised it: a thread left
    // in another apartment mode must not lose a reference it never gave.
    bool initialised = SUCCEEDED(OleInitialize(nullptr));
    bool unregistered = false;
    HMODULE library = LoadLibraryA(path);
    if (library) {
        DllUnregisterServerFn entry =
            reinterpret_cast<DllUnregisterServerFn>(GetProcAddress(library, "DllUnregisterServer"));
        if (entry) unregistered = entry() == S_OK;
        FreeLibrary(library);
    }
    if (initialised) OleUninitialize();
    return unregistered;
}
