// Command-line reading and the installing of the run options.
#pragma once
#include "script/settings.h"

// Cuts the writable command-line text into tokens in place.
void ParseCommandLine(char* text);
void InstallRunOptions(const RunOptions* record);

// Supplied by the platform: copies the Windows directory into buffer.
// Answers false when it cannot be had.
bool PlatformWindowsDirectory(char* buffer, unsigned size);
