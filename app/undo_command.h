// The undo command of the programs: the log opened as for a scan, then the
// journal put back or listed.
#pragma once
#include <windows.h>

// which: "" (or null) the latest journal, "list", or a journal folder.
// Answers the exit code.
int RunUndo(const char* which);

// "Undo last run" of the windowed program, on its worker thread: the
// parameter points at the main window's handle, whose message list gets the
// lines; the window is told WM_SCAN_FINISHED at the end. Answers the exit
// code.
DWORD WINAPI UndoRun(LPVOID parameter);
