// Folder macros: a path in the data file may begin with windows, system,
// temp, startup or desktop, standing for that folder on this machine.
#pragma once
#include <stddef.h>

// Replaces a leading macro word by the folder's path. Answers a new heap
// string (free it with free): a copy of the path when it has no macro, or
// null when the folder cannot be had (reported) or the result would be 260
// characters or longer (not reported).
char* ExpandFolderMacro(const char* path);
// The length of the macro word the path begins with, 0 when it has none:
// what ExpandFolderMacro replaces by the folder.
size_t FolderMacroLength(const char* path);

// The folders behind the macro words, in the order the words are tried.
enum FolderMacro {
    FOLDER_WINDOWS,
    FOLDER_SYSTEM,
    FOLDER_TEMP,
    FOLDER_STARTUP,
    FOLDER_DESKTOP,
    FOLDER_COUNT
};

enum FolderLookup {
    FOLDER_FOUND,     // out holds the folder's path
    FOLDER_TOO_LONG,  // the path would not fit into size bytes
    FOLDER_FAILED,    // the system could not name the folder
};

// Supplied by the platform: copies the folder's path, with its terminator,
// into out, which holds size bytes.
FolderLookup PlatformSpecialFolder(FolderMacro which, char* out, unsigned size);

// Native builds only: the folders the stand-in lookup answers, null for one
// that cannot be had, and the values they start with.
extern const char* g_standInFolders[FOLDER_COUNT];
extern const char* const kStandInDefaults[FOLDER_COUNT];
