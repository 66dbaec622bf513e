// Run options: what the command line and the Configuration dialog choose,
// and the run-wide settings a scan derives from them.
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
};
extern RunSettings g_settings;

// Told of each token that sets no run option, once its quotes are gone.
typedef void (*OtherTokenHandler)(const char* token);

// Cuts the writable command-line text into tokens in place. Blanks (spaces
// and tabs) separate tokens except between double quotes; the quotes
// themselves are dropped, and a quote left open runs to the end of the
// text. Tokens that set no option go to otherToken, or are ignored.
void ParseCommandLine(char* text, OtherTokenHandler otherToken = nullptr);
void InstallRunOptions(const RunOptions* record);
void PrintUsage();

// Supplied by the platform: copies the Windows directory into buffer.
// Answers false when it cannot be had.
bool PlatformWindowsDirectory(char* buffer, unsigned size);
