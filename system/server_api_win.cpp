#include "report/message.h"
#include "script/system_library_win.h"
#include "system/shares_win.h"

ServerApi9x g_serverApi = {};
NetShareApiNt g_netShareApi = {};
static HMODULE g_serverLibrary = nullptr;
static HMODULE g_netLibrary = nullptr;

// A lookup that failed without an error code must still answer failure.
static DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error ? error : fallback;
}

// From the system folder only: a library of that name beside the program
// must never run with the administrator's rights.
static DWORD LoadOnce(HMODULE* library, const char* name) {
    if (*library) return 0;
    *library = LoadSystemLibrary(name);
    if (*library) return 0;
    DWORD error = LastErrorOr(ERROR_MOD_NOT_FOUND);
    ReportMessage(MSG_ERROR, "Could not load library %s", name);
    return error;
}

// Looks up the named functions into slots, in order; stops at the first
// that is missing.
static DWORD LookUp(HMODULE library, const char* const* names, FARPROC* const* slots, int count) {
    for (int i = 0; i < count; ++i) {
        *slots[i] = GetProcAddress(library, names[i]);
        if (!*slots[i]) {
            DWORD error = LastErrorOr(ERROR_PROC_NOT_FOUND);
            ReportMessage(MSG_ERROR, "Could not find address of the function %s", names[i]);
            return error;
        }
    }
    return 0;
}

DWORD LoadServerApi() {
    DWORD error = LoadOnce(&g_serverLibrary, "svrapi.dll");
    if (error) return error;
    static const char* const kNames[] = {"NetShareDel", "NetShareEnum", "NetShareAdd"};
    FARPROC* const slots[] = {reinterpret_cast<FARPROC*>(&g_serverApi.shareDel),
                              reinterpret_cast<FARPROC*>(&g_serverApi.shareEnum),
                              reinterpret_cast<FARPROC*>(&g_serverApi.shareAdd)};
    return LookUp(g_serverLibrary, kNames, slots, 3);
}

DWORD LoadNetShareApi() {
    DWORD error = LoadOnce(&g_netLibrary, "netapi32.dll");
    if (error) return error;
    static const char* const kNames[] = {"NetShareEnum", "NetShareDel", "NetShareAdd", "NetApiBufferFree"};
    FARPROC* const slots[] = {reinterpret_cast<FARPROC*>(&g_netShareApi.shareEnum),
                              reinterpret_cast<FARPROC*>(&g_netShareApi.shareDel),
                              reinterpret_cast<FARPROC*>(&g_netShareApi.shareAdd),
                              reinterpret_cast<FARPROC*>(&g_netShareApi.bufferFree)};
    return LookUp(g_netLibrary, kNames, slots, 4);
}

void ReleaseServerApi() {
    if (g_serverLibrary) FreeLibrary(g_serverLibrary);
    if (g_netLibrary) FreeLibrary(g_netLibrary);
    g_serverLibrary = g_netLibrary = nullptr;
    g_serverApi = ServerApi9x{};
    g_netShareApi = NetShareApiNt{};
}
