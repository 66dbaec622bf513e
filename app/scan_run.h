// One scan from start to finish, on its own worker thread.
#pragma once
#include <windows.h>

#include "ui/scan_entry_win.h"  // WM_SCAN_FINISHED

// The parameter points at a record whose first field is the main window's
// handle (null for the console front end). Answers the run's result code.
DWORD WINAPI ScanRun(LPVOID parameter);

bool IsAdministrator();
