#include "disk/directory_list.h"

#include <stdlib.h>

char* g_directories[MAX_DIRECTORIES + 1];
int32_t g_directoryCount = 0;

void ClearDirectoryList() {
    for (char*& entry : g_directories) {
        free(entry);
        entry = nullptr;
    }
    g_directoryCount = 0;
}
