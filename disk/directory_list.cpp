#include "disk/directory_list.h"

#include <stdlib.h>

char* g_directories[MAX_DIRECTORIES + 1];
int32_t g_directoryCount = 0;
bool g_directoryTopOnly[MAX_DIRECTORIES + 1];
bool g_openDirectoryTopOnly = false;

void ClearDirectoryList() {
    for (char*& entry : g_directories) {
        free(entry);
        entry = nullptr;
    }
    for (bool& topOnly : g_directoryTopOnly) topOnly = false;
    g_directoryCount = 0;
    g_openDirectoryTopOnly = false;
}
