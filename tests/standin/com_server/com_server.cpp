// Stand-in COM server libraries for UNREGDLL, one per way the call can end:
//   COM_SERVER_OK        DllUnregisterServer answers S_OK
//   COM_SERVER_FALSE     DllUnregisterServer answers S_FALSE
//   COM_SERVER_NOEXPORT  no DllUnregisterServer at all
//   COM_SERVER_NOLOAD    the library refuses to load
// The entry, when called, writes "<library>.called" beside the library with
// "ole" when OLE was already initialised on the calling thread, "no-ole"
// otherwise. Loading and unloading append "load" and "unload" lines to
// "<library>.events", so a test sees that the library was freed.
#include <windows.h>
#include <ole2.h>

#include <string.h>

static HMODULE g_self;

static void Append(const char* suffix, const char* text, bool truncate) {
    char path[MAX_PATH + 16] = {};
    GetModuleFileNameA(g_self, path, MAX_PATH);
    strcat(path, suffix);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, truncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
#if defined(COM_SERVER_NOLOAD)
    return FALSE;
#endif
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        Append(".events", "load\n", false);
    } else if (reason == DLL_PROCESS_DETACH) {
        Append(".events", "unload\n", false);
    }
    return TRUE;
}

#if defined(COM_SERVER_OK) || defined(COM_SERVER_FALSE)
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    // A second initialisation of the same apartment answers S_FALSE.
    HRESULT probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Append(".called", probe == S_FALSE ? "ole" : "no-ole", true);
    if (SUCCEEDED(probe)) CoUninitialize();
#if defined(COM_SERVER_OK)
    return S_OK;
#else
    return S_FALSE;
#endif
}
#else
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return S_OK; }
#endif
