#include "memory/system_api_win.h"

ProcessApi g_processApi = {};

HMODULE ApiKernel32() {
    if (!g_processApi.kernel32) g_processApi.kernel32 = LoadLibraryA("kernel32.dll");
    return g_processApi.kernel32;
}

HMODULE ApiNtdll() {
    if (!g_processApi.ntdll) g_processApi.ntdll = LoadLibraryA("ntdll.dll");
    return g_processApi.ntdll;
}

void ReleaseProcessApis() {
    if (g_processApi.ntdll) FreeLibrary(g_processApi.ntdll);
    if (g_processApi.kernel32) FreeLibrary(g_processApi.kernel32);
    g_processApi = ProcessApi{};
}
