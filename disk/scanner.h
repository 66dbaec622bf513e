// Suspension of the resident on-access scanner while files are handled.
#pragma once
#include <stdint.h>

// resume 0 asks the scanner's driver to stop checking files, 1 to start
// again. Answers 0 on success (also when no driver is installed) and -1 on
// failure. A suspend keeps its device open until the program ends.
int SetScannerState(int resume);

// Set by the disk group once a suspend succeeded, so later DISK elements do
// not ask again; the scan run resumes the scanner and clears it at its end.
extern int32_t g_scannerSuspended;
