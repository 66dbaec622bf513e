#include <string.h>

#include "disk/drives.h"
#include "offline/mounted_tree.h"
#include "offline/program/offline_drives.h"

namespace {
const std::vector<UserFolders>* g_users;
}  // namespace

void SetOfflineUsers(const std::vector<UserFolders>* users) { g_users = users; }

// Every drive mounted for the run is a fixed one; the rest have no root.
int PlatformDriveType(const char* root) {
    char letter = root[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    for (const DriveMount* d = DriveMounts(); d; d = d->next)
        if (d->letter == letter) return DRIVE_KIND_FIXED;
    return DRIVE_KIND_NO_ROOT;
}

// The user-th of the profiles that have the folder. One too long for out
// counts as none, so that the profiles after it are still reached.
bool PlatformUserFolder(UserFolder which, unsigned user, char* out, unsigned size) {
    if (!g_users || which >= USER_FOLDER_COUNT) return false;
    for (const UserFolders& folders : *g_users) {
        const std::string& folder = folders.folder[which];
        if (folder.empty() || folder.size() >= size || user-- != 0) continue;
        memcpy(out, folder.c_str(), folder.size() + 1);
        return true;
    }
    return false;
}
