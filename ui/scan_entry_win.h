// How the window reaches the scan: the program installs its header pass,
// scan run and option installer here before it creates the main window, so
// the window code depends on no entry point of its own.
#pragma once
#include <windows.h>

#include "script/settings.h"

// Sent by the scan run to the main window when it has finished.
enum { WM_SCAN_FINISHED = WM_USER + 16 };

struct ScanEntry {
    // Reads the data file up to IDENTITY; answers 0 or the error code.
    int (*loadHeader)(void* window);
    // The worker thread's body; its parameter points at the window handle.
    LPTHREAD_START_ROUTINE scanRun;
    void (*installOptions)(const RunOptions* options);
    // The worker thread's body for "Undo last run": the latest journal put
    // back, with its lines in the message list. Same parameter as scanRun.
    LPTHREAD_START_ROUTINE undoRun;
};

extern const ScanEntry* g_scanEntry;
