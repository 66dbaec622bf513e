#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "disk/drives.h"
#include "report/shell_folder_win.h"

int PlatformDriveType(const char* root) { return static_cast<int>(GetDriveTypeA(root)); }

bool PlatformUserFolder(UserFolder which, unsigned user, char* out, unsigned size) {
    if (user != 0 || which == USER_TEMP) return false;
    int csidl = which == USER_DESKTOP ? CSIDL_DESKTOPDIRECTORY : CSIDL_STARTUP;
    return ShellFolderPath(csidl, out, size) == FOLDER_FOUND;
}
