#include <windows.h>
#include <lm.h>
#include <wchar.h>

#include "app/scan_run.h"
#include "script/system_library_win.h"

// NETAPI32 is bound at first use: the 9x family has no NetLocalGroupGetMembers,
// and a static import would keep the program from loading there at all. It
// comes from the system folder, never from beside the program: this check
// runs at the start of every scan on the NT family.
typedef NET_API_STATUS(WINAPI* NetLocalGroupGetMembersFn)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*, DWORD, LPDWORD,
                                                           LPDWORD, PDWORD_PTR);
typedef NET_API_STATUS(WINAPI* NetApiBufferFreeFn)(LPVOID);

// Whether the current user is a direct member of the local Administrators
// group, compared by bare account name.
bool IsAdministrator() {
    char user[256];
    DWORD userLength = sizeof user;
    if (!GetUserNameA(user, &userLength)) return false;

    WCHAR wideUser[256];
    WCHAR wideGroup[32];
    if (!MultiByteToWideChar(CP_ACP, 0, user, -1, wideUser, 256)) return false;
    if (!MultiByteToWideChar(CP_ACP, 0, "Administrators", -1, wideGroup, 32)) return false;

    HMODULE netapi = LoadSystemLibrary("netapi32.dll");
    if (!netapi) return false;
    NetLocalGroupGetMembersFn getMembers =
        reinterpret_cast<NetLocalGroupGetMembersFn>(GetProcAddress(netapi, "NetLocalGroupGetMembers"));
    NetApiBufferFreeFn bufferFree = reinterpret_cast<NetApiBufferFreeFn>(GetProcAddress(netapi, "NetApiBufferFree"));
    bool found = false;
    if (getMembers && bufferFree) {
        LOCALGROUP_MEMBERS_INFO_1* members = nullptr;
        DWORD read = 0, total = 0;
        NET_API_STATUS status = getMembers(nullptr, wideGroup, 1, reinterpret_cast<LPBYTE*>(&members),
                                           MAX_PREFERRED_LENGTH, &read, &total, nullptr);
        if (status == NERR_Success && members) {
            for (DWORD i = 0; i < read && !found; ++i)
                found = members[i].lgrmi1_name && wcscmp(members[i].lgrmi1_name, wideUser) == 0;
        }
        if (members) bufferFree(members);
    }
    FreeLibrary(netapi);
    return found;
}
