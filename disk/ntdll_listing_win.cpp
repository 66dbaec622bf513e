#include "disk/ntdll_listing_win.h"

namespace {

enum LookupState { NOT_LOOKED_UP, FOUND, MISSING };
LookupState g_state = NOT_LOOKED_UP;
NtListingFunctions g_functions;

bool OnNtFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

template <typename Function>
bool Find(HMODULE module, const char* name, Function* slot) {
    *slot = reinterpret_cast<Function>(GetProcAddress(module, name));
    return *slot != nullptr;
}

}  // namespace

const NtListingFunctions* NtListing() {
    if (g_state == NOT_LOOKED_UP) {
        // ntdll and kernel32 are in every process from its start, so they
        // never need loading nor releasing.
        HMODULE ntdll = OnNtFamily() ? GetModuleHandleA("ntdll.dll") : nullptr;
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        bool all = ntdll && kernel32 && Find(ntdll, "NtQueryDirectoryFile", &g_functions.queryDirectoryFile) &&
                   Find(ntdll, "RtlUnicodeToMultiByteN", &g_functions.unicodeToAnsi) &&
                   Find(ntdll, "RtlUnicodeToOemN", &g_functions.unicodeToOem) &&
                   Find(kernel32, "AreFileApisANSI", &g_functions.areFileApisAnsi);
        g_state = all ? FOUND : MISSING;
    }
    return g_state == FOUND ? &g_functions : nullptr;
}
