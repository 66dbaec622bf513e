// Process-wide run options, as the command line and the Configuration dialog
// set them, and the run-wide settings a scan derives from them. Every floor
// reads them; only the programs' entry points and the dialog write them.
#pragma once
#include <stdint.h>

#include "report/message.h"

enum { LOG_PATH_SIZE = 256 };

struct RunOptions {
    int32_t confirm;
    int32_t verbose;
    int32_t noDisk;
    char* logPath;   // always points at g_logPathBuffer
    char* dataFile;  // rest of the -df= token, or null for the embedded data
    int32_t allFiles;
    int32_t sharesMode;  // 0 leave shares, 1 remove and save, 2 restore only
    OutHandle secondOutput;
    int32_t noUndo;         // -noundo: changes are not saved for undo
    const char* undo;       // -undo[=...]: "" the latest journal, "list", or a folder; null for a scan
    int32_t reportOnly;     // -reportonly: find and report, change nothing
    const char* jsonPath;   // -json=: where the run report is written; null for none
};

extern RunOptions g_runOptions;
extern char g_logPathBuffer[LOG_PATH_SIZE];

// Run-wide settings, written by InstallRunOptions before a scan starts.
struct RunSettings {
    int32_t confirmation;  // the confirmation word
    int32_t skipDisk;      // the disk switch: 1 leaves files alone
    int32_t allFiles;
    const char* logPath;
    const char* dataFile;
    OutHandle secondOutput;
    int32_t reportOnly;
};
extern RunSettings g_settings;
