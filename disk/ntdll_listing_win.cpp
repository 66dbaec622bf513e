#include "disk/ntdll_listing_win.h"
#include "disk/nt_family_win.h"
#include "script/function_lookup_win.h"

namespace {

enum LookupState { NOT_LOOKED_UP, FOUND, MISSING };
LookupState g_state = NOT_LOOKED_UP;
NtListingFunctions g_functions;

}  // namespace

const NtListingFunctions* NtListing() {
    if (g_state == NOT_LOOKED_UP) {
        // ntdll and kernel32 are in every process from its start, so they
        // never need loading nor releasing.
        HMODULE ntdll = OnNtFamily() ? GetModuleHandleA("ntdll.dll") : nullptr;
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        bool all = ntdll && kernel32 && LookUpFunction(ntdll, "NtQueryDirectoryFile", &g_functions.queryDirectoryFile) &&
                   LookUpFunction(ntdll, "RtlUnicodeToMultiByteN", &g_functions.unicodeToAnsi) &&
                   LookUpFunction(ntdll, "RtlUnicodeToOemN", &g_functions.unicodeToOem) &&
                   LookUpFunction(kernel32, "AreFileApisANSI", &g_functions.areFileApisAnsi);
        g_state = all ? FOUND : MISSING;
    }
    return g_state == FOUND ? &g_functions : nullptr;
}
