// The toolbar along the top of the main window: Start Scan and
// Configuration, with the common controls library loaded at run time.
#pragma once
#include <windows.h>

// Answers the toolbar, or null when the common controls are missing; the
// menu then offers every command.
HWND CreateToolbar(HWND mainWindow);
// Greys (scanning) or enables both buttons.
void SetToolbarScanning(HWND mainWindow, bool scanning);
// At program exit.
void ReleaseToolbarLibrary();
