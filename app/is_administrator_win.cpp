#include <windows.h>
#include <lm.h>
#include <wchar.h>

#include "app/scan_run.h"

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

    LOCALGROUP_MEMBERS_INFO_1* members = nullptr;
    DWORD read = 0, total = 0;
    NET_API_STATUS status = NetLocalGroupGetMembers(nullptr, wideGroup, 1, reinterpret_cast<LPBYTE*>(&members),
                                                    MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    bool found = false;
    if (status == NERR_Success && members) {
        for (DWORD i = 0; i < read && !found; ++i)
            found = members[i].lgrmi1_name && wcscmp(members[i].lgrmi1_name, wideUser) == 0;
    }
    if (members) NetApiBufferFree(members);
    return found;
}
