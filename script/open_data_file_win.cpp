#include <windows.h>
#include <string.h>

#include "script/settings.h"
#include "report/message.h"
#include "script/data_reader.h"

enum { DATA_RESOURCE_ID = 101, MODULE_PATH_SIZE = 256 };

// Holds a bare data file name completed with the program's folder; it then
// replaces the name for the rest of the process.
static char g_dataFilePath[MODULE_PATH_SIZE];

// A name without a backslash is looked for next to the program file.
static void CompleteWithProgramFolder() {
    const char* name = g_runOptions.dataFile;
    if (strchr(name, '\\')) return;
    char path[MODULE_PATH_SIZE];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    char* lastSlash = strrchr(path, '\\');
    if (!lastSlash) return;
    size_t folderLength = static_cast<size_t>(lastSlash + 1 - path);
    size_t nameLength = strlen(name);
    if (folderLength + nameLength + 1 > sizeof g_dataFilePath) return;
    memcpy(g_dataFilePath, path, folderLength);
    memcpy(g_dataFilePath + folderLength, name, nameLength + 1);
    g_runOptions.dataFile = g_dataFilePath;
    g_settings.dataFile = g_dataFilePath;
}

static bool LoadEmbeddedData() {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(DATA_RESOURCE_ID), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    g_resourceData = static_cast<const unsigned char*>(data);
    g_resourceSize = SizeofResource(self, found);
    return true;
}

bool OpenDataFile(ParseContext* context) {
    context->decoder.stream = nullptr;
    if (g_runOptions.dataFile) {
        CompleteWithProgramFolder();
        context->decoder.stream = fopen(g_runOptions.dataFile, "rb");
        if (!context->decoder.stream) {
            ReportMessage(MSG_ERROR, "\r\nCould not open data file %s\r\n", g_runOptions.dataFile);
            return false;
        }
        return true;
    }
    if (!LoadEmbeddedData()) {
        ReportMessage(MSG_ERROR, "\r\nCould not load data\r\n");
        return false;
    }
    return true;
}
