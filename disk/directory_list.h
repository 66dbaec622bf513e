// The directories a DISK element searches, filled by its DIRECTORY elements.
#pragma once
#include <stdint.h>

enum { MAX_DIRECTORIES = 64 };

// The text of the DIRECTORY being read is collected in the entry after the
// last one, and counted when the DIRECTORY ends.
extern char* g_directories[MAX_DIRECTORIES + 1];
extern int32_t g_directoryCount;
// Entries searched without their subfolders (subfolders="no"), and that
// word of the DIRECTORY being read, for the entries its text makes.
extern bool g_directoryTopOnly[MAX_DIRECTORIES + 1];
extern bool g_openDirectoryTopOnly;

// Frees the entries and empties the list.
void ClearDirectoryList();
