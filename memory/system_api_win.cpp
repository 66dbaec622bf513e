#include "memory/system_api_win.h"

#include "script/system_library_win.h"

ProcessApi g_processApi = {};

HMODULE ApiKernel32() {
    if (!g_processApi.kernel32) g_processApi.kernel32 = LoadSystemLibrary("kernel32.dll");
    return g_processApi.kernel32;
}

HMODULE ApiNtdll() {
    if (!g_processApi.ntdll) g_processApi.ntdll = LoadSystemLibrary("ntdll.dll");
    return g_processApi.ntdll;
}

void ReleaseProcessApis() {
    if (g_processApi.ntdll) FreeLibrary(g_processApi.ntdll);
    if (g_processApi.kernel32) FreeLibrary(g_processApi.kernel32);
    g_processApi = ProcessApi{};
}
