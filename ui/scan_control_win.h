// Starting a scan on its worker thread from the main window, and what the
// window does when the scan says it has finished.
#pragma once
#include <windows.h>

bool IsScanning();
// Greys the commands that would start another scan, change the options or
// close the window, installs the run options and starts the worker.
void StartScan(HWND mainWindow);
// The same for "Undo last run": its worker puts back the latest journal.
void StartUndo(HWND mainWindow);
// The end-of-run message: the commands come back, and a scan that left
// files for Windows to remove when it restarts says so on the status line
// and in a message box.
void OnScanFinished(HWND mainWindow);
// The result code of the last scan that finished, 0 when none ran. Waits
// for that worker to return, which it does right after its last message.
DWORD LastScanResult();
