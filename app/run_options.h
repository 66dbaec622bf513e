// Command-line reading and the installing of the run options.
#pragma once
#include "script/settings.h"

// Told of each token that sets no run option, once its quotes are gone.
typedef void (*OtherTokenHandler)(const char* token);

// Cuts the writable command-line text into tokens in place. Blanks (spaces
// and tabs) separate tokens except between double quotes; the quotes
// themselves are dropped, and a quote left open runs to the end of the
// text. Tokens that set no option go to otherToken, or are ignored.
void ParseCommandLine(char* text, OtherTokenHandler otherToken = nullptr);
void InstallRunOptions(const RunOptions* record);

// Supplied by the platform: copies the Windows directory into buffer.
// Answers false when it cannot be had.
bool PlatformWindowsDirectory(char* buffer, unsigned size);
