#include "disk/nt_file_information_win.h"

#include "disk/nt_family_win.h"
#include "script/function_lookup_win.h"

namespace {

enum LookupState { NOT_LOOKED_UP, FOUND, MISSING };
LookupState g_state = NOT_LOOKED_UP;
NtFileInformationFunctions g_functions;

}  // namespace

const NtFileInformationFunctions* NtFileInformation() {
    if (g_state == NOT_LOOKED_UP) {
        // ntdll is in every process of the NT family from its start.
        HMODULE ntdll = OnNtFamily() ? GetModuleHandleA("ntdll.dll") : nullptr;
        bool all = ntdll && LookUpFunction(ntdll, "NtSetInformationFile", &g_functions.setInformationFile) &&
                   LookUpFunction(ntdll, "RtlNtStatusToDosError", &g_functions.statusToDosError) &&
                   LookUpFunction(ntdll, "NtCreateFile", &g_functions.createFile);
        g_state = all ? FOUND : MISSING;
    }
    return g_state == FOUND ? &g_functions : nullptr;
}

bool SetFileInformation(HANDLE file, ULONG informationClass, void* information, ULONG length) {
    const NtFileInformationFunctions* nt = NtFileInformation();
    if (!nt) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    IoStatusBlock io = {};
    LONG status = nt->setInformationFile(file, &io, information, length, informationClass);
    if (status >= 0) return true;
    SetLastErrorOfStatus(status);
    return false;
}

void SetLastErrorOfStatus(LONG status) {
    const NtFileInformationFunctions* nt = NtFileInformation();
    SetLastError(nt ? nt->statusToDosError(status) : ERROR_GEN_FAILURE);
}
