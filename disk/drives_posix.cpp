// Native stand-ins for the drive and user folder lookups: one fixed drive C
// and fixed folders, which tests may change.
#include <string.h>

#include "disk/drives.h"

namespace {
constexpr char kDesktop[] = "C:\\Documents and Settings\\User\\Desktop";
constexpr char kStartup[] = "C:\\Documents and Settings\\User\\Start Menu\\Programs\\Startup";
// Only C exists; 0 would be a drive of unknown type, which AllDrives takes.
constexpr int NONE = DRIVE_KIND_NO_ROOT;
}  // namespace

int g_standInDriveTypes[26] = {NONE, NONE, DRIVE_KIND_FIXED, NONE, NONE, NONE, NONE, NONE, NONE,
                               NONE, NONE, NONE, NONE, NONE, NONE, NONE, NONE, NONE,
                               NONE, NONE, NONE, NONE, NONE, NONE, NONE, NONE};
const char* const kStandInUserDefaults[USER_FOLDER_COUNT] = {kDesktop, kStartup, nullptr};
const char* g_standInUserFolders[USER_FOLDER_COUNT] = {kDesktop, kStartup, nullptr};

int PlatformDriveType(const char* root) {
    char letter = root[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return DRIVE_KIND_NO_ROOT;
    return g_standInDriveTypes[letter - 'A'];
}

bool PlatformUserFolder(UserFolder which, unsigned user, char* out, unsigned size) {
    unsigned index = static_cast<unsigned>(which);
    if (user != 0 || index >= USER_FOLDER_COUNT || !g_standInUserFolders[index]) return false;
    size_t length = strlen(g_standInUserFolders[index]);
    if (length >= size) return false;
    memcpy(out, g_standInUserFolders[index], length + 1);
    return true;
}
