#include "report/folder_macro.h"

#include <stdlib.h>
#include <string.h>

#include "report/message.h"

namespace {

// Longest result plus one: a path of 260 characters or more is refused.
enum { PATH_LIMIT = 260, WORK_BUFFER_SIZE = 264 };

struct MacroWord {
    const char* word;  // compared in lower case only, over its own length
    FolderMacro folder;
    bool sized;  // the lookup is told how much room the rest leaves
    const char* failure;
};

// Tried in this order; the first word the path begins with applies.
const MacroWord kMacros[] = {
    {"windows", FOLDER_WINDOWS, true, "Could not obtain the windows directory name\r\n"},
    {"system", FOLDER_SYSTEM, true, "Could not obtain the system directory name\r\n"},
    {"temp", FOLDER_TEMP, true, "Could not obtain the temp directory name\r\n"},
    {"startup", FOLDER_STARTUP, false, "Could not obtain the startup directory name\r\n"},
    {"desktop", FOLDER_DESKTOP, false, "Could not obtain the desktop directory name\r\n"},
};

char* Join(const char* head, size_t headLength, const char* tail, size_t tailLength) {
    char* joined = static_cast<char*>(malloc(headLength + tailLength + 1));
    if (!joined) return nullptr;
    memcpy(joined, head, headLength);
    memcpy(joined + headLength, tail, tailLength);
    joined[headLength + tailLength] = 0;
    return joined;
}

const MacroWord* LeadingMacro(const char* path) {
    for (const MacroWord& m : kMacros)
        if (strncmp(path, m.word, strlen(m.word)) == 0) return &m;
    return nullptr;
}

}  // namespace

size_t FolderMacroLength(const char* path) {
    const MacroWord* macro = path ? LeadingMacro(path) : nullptr;
    return macro ? strlen(macro->word) : 0;
}

char* ExpandFolderMacro(const char* path) {
    if (!path) return nullptr;
    const MacroWord* macro = LeadingMacro(path);
    if (!macro) return Join(path, strlen(path), "", 0);

    const char* rest = path + strlen(macro->word);
    size_t restLength = strlen(rest);
    char folder[WORK_BUFFER_SIZE];
    unsigned room = WORK_BUFFER_SIZE;
    if (macro->sized) {
        // The folder may take only what the rest leaves of the limit. A rest
        // that leaves nothing is refused before the size could wrap around.
        if (restLength >= PATH_LIMIT) return nullptr;
        room = static_cast<unsigned>(PATH_LIMIT - restLength);
    }
    switch (PlatformSpecialFolder(macro->folder, folder, room)) {
    case FOLDER_FOUND:
        break;
    case FOLDER_TOO_LONG:
        return nullptr;
    default:
        ReportMessage(MSG_WARNING, "%s", macro->failure);
        return nullptr;
    }
    folder[WORK_BUFFER_SIZE - 1] = 0;

    // The rest brings its own separator; drop the folder's (GetTempPathA's
    // result and root folders end with one).
    size_t length = strlen(folder);
    if (length > 0 && (folder[length - 1] == '\\' || folder[length - 1] == '/')) --length;
    if (length + restLength >= PATH_LIMIT) return nullptr;
    return Join(folder, length, rest, restLength);
}
