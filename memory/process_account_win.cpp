// Whether another process runs as the same user as this program: read from
// the user of each process's access token. Only "restart" asks, so that
// the administrator's run never starts a program that another account ran
// (and could have built to match the threat's patterns).
#include "memory/process_calls_win.h"

namespace {

typedef BOOL(WINAPI* OpenProcessTokenFn)(HANDLE process, DWORD access, PHANDLE token);
typedef BOOL(WINAPI* GetTokenInformationFn)(HANDLE token, TOKEN_INFORMATION_CLASS type, LPVOID buffer, DWORD size,
                                            PDWORD returned);
typedef BOOL(WINAPI* EqualSidFn)(PSID first, PSID second);

// Looked up at run time, as the privileges are: the 32-bit program must
// load on Windows 95 too, which has no use for them.
struct AccountApi {
    OpenProcessTokenFn openProcessToken;
    GetTokenInformationFn getTokenInformation;
    EqualSidFn equalSid;
};

bool LookUpAccountApi(AccountApi* api) {
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return false;
    api->openProcessToken = reinterpret_cast<OpenProcessTokenFn>(GetProcAddress(advapi, "OpenProcessToken"));
    api->getTokenInformation =
        reinterpret_cast<GetTokenInformationFn>(GetProcAddress(advapi, "GetTokenInformation"));
    api->equalSid = reinterpret_cast<EqualSidFn>(GetProcAddress(advapi, "EqualSid"));
    return api->openProcessToken && api->getTokenInformation && api->equalSid;
}

// A TOKEN_USER and the SID it points into; a SID has at most 15
// sub-authorities, 68 bytes.
struct TokenUserBuffer {
    alignas(void*) unsigned char bytes[256];
    PSID Sid() { return reinterpret_cast<TOKEN_USER*>(bytes)->User.Sid; }
};

bool ReadTokenUser(const AccountApi& api, HANDLE process, TokenUserBuffer* user) {
    HANDLE token = nullptr;
    if (!api.openProcessToken(process, TOKEN_QUERY, &token)) return false;
    DWORD returned = 0;
    bool read = api.getTokenInformation(token, TokenUser, user->bytes, sizeof user->bytes, &returned) != FALSE &&
                returned <= sizeof user->bytes && user->Sid() != nullptr;
    CloseHandle(token);
    return read;
}

}  // namespace

bool SameAccountAsOurs(HANDLE process) {
    AccountApi api;
    if (!LookUpAccountApi(&api)) return false;
    TokenUserBuffer ours, theirs;
    if (!ReadTokenUser(api, GetCurrentProcess(), &ours) || !ReadTokenUser(api, process, &theirs)) return false;
    return api.equalSid(ours.Sid(), theirs.Sid()) != FALSE;
}
