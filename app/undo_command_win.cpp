#include <windows.h>

#include "app/run_facts_win.h"
#include "app/run_log_win.h"
#include "app/undo_command.h"
#include "ui/scan_entry_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "undo/undo_run.h"

int RunUndo(const char* which) {
    BeginRunFacts("undo");
    ResetCounters();
    OpenRunLog();
    int result = RunUndoCommand(which);
    EndRunFacts(result, false);
    CloseRunLog();
    return result;
}

DWORD WINAPI UndoRun(LPVOID parameter) {
    HWND window = parameter ? *static_cast<HWND*>(parameter) : nullptr;
    g_report.mainWindow = window;
    int result = RunUndo("");
    if (window) SendMessageA(window, WM_SCAN_FINISHED, 0, 0);
    return static_cast<DWORD>(result);
}
