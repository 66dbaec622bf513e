// Native stand-in for the folder lookups: fixed folders that tests may
// change or remove.
#include <string.h>

#include "report/folder_macro.h"

namespace {
constexpr char kWindows[] = "C:\\WINDOWS";
constexpr char kSystem[] = "C:\\WINDOWS\\SYSTEM32";
constexpr char kTemp[] = "C:\\TEMP\\";
constexpr char kStartup[] = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup";
constexpr char kDesktop[] = "C:\\Documents and Settings\\All Users\\Desktop";
}  // namespace

const char* const kStandInDefaults[FOLDER_COUNT] = {kWindows, kSystem, kTemp, kStartup, kDesktop};
const char* g_standInFolders[FOLDER_COUNT] = {kWindows, kSystem, kTemp, kStartup, kDesktop};

// Answers as the sized Win32 calls do: a folder that does not fit, with its
// terminator, is too long and nothing is copied.
FolderLookup PlatformSpecialFolder(FolderMacro which, char* out, unsigned size) {
    // Use the whole room promised, so that a size larger than the caller's
    // buffer shows under the sanitizers.
    if (size > 0) out[size - 1] = 0;
    unsigned index = static_cast<unsigned>(which);
    if (index >= FOLDER_COUNT || !g_standInFolders[index]) return FOLDER_FAILED;
    size_t length = strlen(g_standInFolders[index]);
    if (length >= size) return FOLDER_TOO_LONG;
    memcpy(out, g_standInFolders[index], length + 1);
    return FOLDER_FOUND;
}
