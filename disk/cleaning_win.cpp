#include "disk/cleaning_win.h"

#include "disk/scanner.h"
#include "disk/walk.h"
#include "memory/memory_pass_win.h"

static bool SuspendScanner() { return SetScannerState(0) == 0; }

static const CleaningWork kWin32Work = {SuspendScanner, ScanDirectories, ScanMemory};

const CleaningWork* Win32CleaningWork() { return &kWin32Work; }
