// The main window: a modeless dialog with the counters, the status line and
// the message list, from which scans are started.
#pragma once
#include <windows.h>

// Present while the main window exists; cleared when it is destroyed,
// which ends the program's message loop.
extern HWND g_mainWindow;

// Creates the window, owned by the desktop. Null on failure.
HWND CreateMainWindow();
