#include "undo/journal_security_win.h"

#include <vector>

#include "disk/nt_family_win.h"
#include "script/function_lookup_win.h"

namespace {

typedef BOOL(WINAPI* GetKernelObjectSecurityFn)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
typedef BOOL(WINAPI* GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

struct SecurityApi {
    GetKernelObjectSecurityFn getObjectSecurity;
    GetTokenInformationFn getTokenInformation;
};

const SecurityApi* SecurityFunctions() {
    static SecurityApi api;
    static int state;  // 0 not yet looked up, 1 found, -1 missing
    if (state == 0) {
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        bool found = OnNtFamily() && LookUpFunction(advapi, "GetKernelObjectSecurity", &api.getObjectSecurity) &&
                     LookUpFunction(advapi, "GetTokenInformation", &api.getTokenInformation);
        state = found ? 1 : -1;
    }
    return state == 1 ? &api : nullptr;
}

// The SID of the account running the program, as bytes; "" when it cannot
// be had, and then only Administrators and SYSTEM are trusted.
const std::string& RunningAccount() {
    static std::string sid;
    static bool known;
    const SecurityApi* f = SecurityFunctions();
    if (known || !f) return sid;
    known = true;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
    DWORD needed = 0;
    f->getTokenInformation(token, TokenUser, nullptr, 0, &needed);
    std::vector<DWORD> buffer(needed / sizeof(DWORD) + 1);
    if (needed && f->getTokenInformation(token, TokenUser, buffer.data(), needed, &needed)) {
        const BYTE* user = static_cast<const BYTE*>(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
        // A SID is eight bytes and four a sub-authority.
        sid.assign(reinterpret_cast<const char*>(user), 8u + 4u * user[1]);
    }
    CloseHandle(token);
    return sid;
}

}  // namespace

bool JournalsGuarded() { return SecurityFunctions() != nullptr; }

SECURITY_ATTRIBUTES* JournalSecurityAttributes() {
    static DWORD descriptor[32];  // aligned as the system wants a descriptor
    static SECURITY_ATTRIBUTES attributes;
    if (!JournalsGuarded()) return nullptr;
    if (!attributes.nLength) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        bool protect = GetVersionExA(&version) && version.dwMajorVersion >= 5;
        std::string bytes = JournalSecurityDescriptor(protect);
        memcpy(descriptor, bytes.data(), bytes.size() < sizeof descriptor ? bytes.size() : sizeof descriptor);
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = descriptor;
        attributes.bInheritHandle = FALSE;
    }
    return &attributes;
}

TrustVerdict JudgeHandle(HANDLE handle, bool access, std::string* who) {
    who->clear();
    const SecurityApi* f = SecurityFunctions();
    if (!f) return TRUSTED;
    SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | (access ? DACL_SECURITY_INFORMATION : 0);
    std::vector<DWORD> buffer(256);
    DWORD needed = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
        if (f->getObjectSecurity(handle, wanted, buffer.data(), size, &needed))
            // The descriptor's own offsets bound what is read of it.
            return JudgeSecurity(std::string(reinterpret_cast<const char*>(buffer.data()), size), RunningAccount(),
                                 access, who);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) break;
        buffer.resize(needed / sizeof(DWORD) + 1);
    }
    return TRUST_UNREADABLE;
}
