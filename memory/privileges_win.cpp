#include "memory/privileges_win.h"

#include "report/message.h"

namespace {

typedef BOOL(WINAPI* OpenProcessTokenFn)(HANDLE process, DWORD access, PHANDLE token);
typedef BOOL(WINAPI* LookupPrivilegeValueFn)(LPCSTR system, LPCSTR name, PLUID luid);
typedef BOOL(WINAPI* AdjustTokenPrivilegesFn)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                                              PTOKEN_PRIVILEGES previous, PDWORD returned);

// The token functions are looked up at run time: Windows 95 has no use for
// them and the program must load there all the same.
struct TokenApi {
    OpenProcessTokenFn openProcessToken;
    LookupPrivilegeValueFn lookupPrivilegeValue;
    AdjustTokenPrivilegesFn adjustTokenPrivileges;
};

TokenApi LookUpTokenApi() {
    TokenApi api = {};
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return api;
    api.openProcessToken = reinterpret_cast<OpenProcessTokenFn>(GetProcAddress(advapi, "OpenProcessToken"));
    api.lookupPrivilegeValue =
        reinterpret_cast<LookupPrivilegeValueFn>(GetProcAddress(advapi, "LookupPrivilegeValueA"));
    api.adjustTokenPrivileges =
        reinterpret_cast<AdjustTokenPrivilegesFn>(GetProcAddress(advapi, "AdjustTokenPrivileges"));
    return api;
}

DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error ? error : fallback;
}

const char* const kPrivileges[] = {"SeTcbPrivilege", "SeSecurityPrivilege", "SeDebugPrivilege"};

}  // namespace

DWORD EnablePrivilege(HANDLE token, const char* name) {
    TokenApi api = LookUpTokenApi();
    LUID luid;
    if (!api.lookupPrivilegeValue || !api.lookupPrivilegeValue(nullptr, name, &luid)) {
        DWORD error = api.lookupPrivilegeValue ? LastErrorOr(ERROR_NO_SUCH_PRIVILEGE) : ERROR_PROC_NOT_FOUND;
        ReportMessage(MSG_ERROR,
                      "\r\nCould not find privilege values for security privilege %s. \r\n"
                      "Make sure you are logged in with Administrator rights",
                      name);
        return error;
    }
    TOKEN_PRIVILEGES privileges;
    static_assert(sizeof privileges == 16, "one privilege entry is 16 bytes");
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Only the result counts: a privilege the token does not hold still
    // succeeds, with ERROR_NOT_ALL_ASSIGNED as the last error.
    if (!api.adjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr)) {
        DWORD error = LastErrorOr(ERROR_ACCESS_DENIED);
        ReportMessage(MSG_ERROR,
                      "\r\nCould not adjust token privilege %s. \r\n"
                      "Make sure you are logged in with Administrator rights\r\n",
                      name);
        return error;
    }
    return 0;
}

DWORD EnablePrivileges() {
    TokenApi api = LookUpTokenApi();
    HANDLE token = nullptr;
    if (!api.openProcessToken ||
        !api.openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        DWORD error = api.openProcessToken ? LastErrorOr(ERROR_ACCESS_DENIED) : ERROR_PROC_NOT_FOUND;
        ReportMessage(MSG_NO_LIST | MSG_ERROR,
                      "Could not open process token. Make sure you are logged in with Administrator rights");
        return error;
    }
    DWORD error = 0;
    for (const char* name : kPrivileges) {
        error = EnablePrivilege(token, name);
        if (error) break;
    }
    CloseHandle(token);
    return error;
}
