#include "disk/cleaning_win.h"

#include "disk/scanner.h"
#include "disk/walk.h"
#include "memory/memory_pass_win.h"
#include "system/command_work_win.h"
#include "system/shares_win.h"
#include "system/system_calls_win.h"

static bool SuspendScanner() { return SetScannerState(0) == 0; }

static const CleaningWork kWin32Work = {SuspendScanner,      ScanDirectories,     UnregisterServer,
                                         RunCommand,          RemoveSharesFor,     Win32RegistryCalls(),
                                         Win32ProfileCalls(), Win32ServiceCalls(), ScanMemory, nullptr, nullptr, nullptr};

const CleaningWork* Win32CleaningWork() { return &kWin32Work; }
