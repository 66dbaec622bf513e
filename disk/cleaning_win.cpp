#include "disk/cleaning_win.h"

#include "disk/scanner.h"
#include "disk/walk.h"

static bool SuspendScanner() { return SetScannerState(0) == 0; }

static const CleaningWork kWin32Work = {SuspendScanner, ScanDirectories};

const CleaningWork* Win32CleaningWork() { return &kWin32Work; }
