// DIRECTORY end: the collected text becomes one or more entries of the
// directory list: the drives, or a path with its folder macro expanded, each
// user's own folder beside the shared one, one path per value of a list
// store. Each entry keeps whether its DIRECTORY said subfolders="no".
#include <stdlib.h>
#include <string.h>

#include "disk/directory_list.h"
#include "disk/disk_element.h"
#include "disk/drives.h"
#include "report/folder_macro.h"
#include "script/data_error.h"
#include "script/store.h"

namespace {

// Longest path plus one, as the folder macros count it.
const size_t kPathLimit = 260;
const size_t kUserFolderSize = 264;

bool ListFull() { return g_directoryCount >= MAX_DIRECTORIES; }

// Takes the path; a full list drops it.
void AddEntry(char* path) {
    if (ListFull()) {
        free(path);
        return;
    }
    g_directoryTopOnly[g_directoryCount] = g_openDirectoryTopOnly;
    g_directories[g_directoryCount++] = path;
}

void AddDrives(bool fixedOnly) {
    for (char letter = 'A'; letter <= 'Z' && !ListFull(); ++letter) {
        const char root[] = {letter, ':', '\\', 0};
        int type = PlatformDriveType(root);
        bool wanted = fixedOnly ? type == DRIVE_KIND_FIXED
                                : type != DRIVE_KIND_NO_ROOT && type != DRIVE_KIND_REMOVABLE;
        if (!wanted) continue;
        char* copy = static_cast<char*>(malloc(sizeof root));
        if (!copy) return;
        memcpy(copy, root, sizeof root);
        AddEntry(copy);
    }
}

bool StartsWithIgnoreCase(const char* text, const char* head, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        char a = text[i], b = head[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;  // also where text ends first
    }
    return true;
}

// Whether an entry already lies in the folder: the last entry (as the list
// has always been checked, even one another DIRECTORY made), or one made
// from the working path being read, from first on.
bool LiesInFolder(int32_t first, const char* folder, size_t length) {
    if (StartsWithIgnoreCase(g_directories[g_directoryCount - 1], folder, length)) return true;
    for (int32_t i = first; i < g_directoryCount; ++i)
        if (StartsWithIgnoreCase(g_directories[i], folder, length)) return true;
    return false;
}

// Each user's own folder with the rest of the path, unless an entry already
// lies in it (the shared folder and the user's are the same). first: the
// first entry the working path made.
void AddUserFolders(UserFolder which, const char* rest, int32_t first) {
    for (unsigned user = 0;; ++user) {
        if (g_directoryCount == 0 || ListFull()) return;
        char folder[kUserFolderSize];
        if (!PlatformUserFolder(which, user, folder, sizeof folder)) return;
        size_t folderLength = strlen(folder);
        if (LiesInFolder(first, folder, folderLength)) continue;
        size_t restLength = strlen(rest);
        if (folderLength + restLength >= kPathLimit) continue;
        char* path = static_cast<char*>(malloc(folderLength + restLength + 1));
        if (!path) return;
        memcpy(path, folder, folderLength);
        memcpy(path + folderLength, rest, restLength + 1);
        AddEntry(path);
    }
}

// One working path. Answers false once the list is full.
bool AddWorkingPath(const char* working) {
    if (ListFull()) return false;
    int32_t first = g_directoryCount;
    char* expanded = ExpandFolderMacro(working);
    if (expanded) AddEntry(expanded);
    if (strncmp(working, "desktop", 7) == 0)
        AddUserFolders(USER_DESKTOP, working + 7, first);
    else if (strncmp(working, "startup", 7) == 0)
        AddUserFolders(USER_STARTUP, working + 7, first);
    else if (strncmp(working, "temp", 4) == 0)
        AddUserFolders(USER_TEMP, working + 4, first);
    return !ListFull();
}

void AddPaths(const char* text) {
    if (ListFull()) return;
    ResetStoreCursor(text);
    int32_t more = 0;
    char* substituted = SubstituteStore(text, &more);
    if (!substituted) {
        AddWorkingPath(text);
        return;
    }
    // A list store gives one path per value; a single store just one.
    while (substituted) {
        bool room = AddWorkingPath(substituted);
        free(substituted);
        if (!room || !more) return;
        substituted = SubstituteStore(text, &more);
    }
}

}  // namespace

// Other attributes are passed over, as they always were on DIRECTORY.
void OnDirectoryStart(ParseContext* context, const char* name, const char** attributes) {
    g_openDirectoryTopOnly = false;
    for (const char** a = attributes; a && a[0]; a += 2) {
        if (strcmp(a[0], "subfolders") != 0) continue;
        if (strcmp(a[1], "no") == 0) {
            g_openDirectoryTopOnly = true;
        } else if (strcmp(a[1], "yes") != 0) {
            ReportDataError(context, DATA_ERROR_ELEMENT);
            return;
        }
    }
}

void OnDirectoryEnd(ParseContext* context, const char* name) {
    // The text waits in the slot after the last entry, where the entries
    // made from it go: take it out first.
    if (g_directoryCount < 0 || g_directoryCount > MAX_DIRECTORIES) return;
    char* text = g_directories[g_directoryCount];
    g_directories[g_directoryCount] = nullptr;
    if (!text) return;
    if (!(context->flags & RUN_SKIP)) {
        if (strcmp(text, "AllDrives") == 0)
            AddDrives(false);
        else if (strcmp(text, "FixedDrives") == 0)
            AddDrives(true);
        else
            AddPaths(text);
    }
    free(text);
    g_openDirectoryTopOnly = false;
}
