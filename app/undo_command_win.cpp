#include <windows.h>

#include "app/banner.h"
#include "app/run_facts_win.h"
#include "app/undo_command.h"
#include "ui/scan_entry_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "script/settings.h"
#include "undo/undo_run.h"

int RunUndo(const char* which) {
    BeginRunFacts("undo");
    ResetCounters();
    HANDLE log = CreateFileA(g_settings.logPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        SetFilePointer(log, 0, nullptr, FILE_END);
        g_report.logFile = log;
        ReportMessage(MSG_LOG_ONLY | MSG_INFO, "\r\n\r\n" MENDRIX_VERSION_LINE "\r\n%s", MENDRIX_NOTICE_LINE);
    } else {
        ReportMessage(MSG_ERROR, "\r\nUnable to open log file %s\r\n", g_settings.logPath);
    }
    int result = RunUndoCommand(which);
    EndRunFacts(result, false);
    if (g_report.logFile) CloseHandle(g_report.logFile);
    g_report.logFile = nullptr;
    return result;
}

DWORD WINAPI UndoRun(LPVOID parameter) {
    HWND window = parameter ? *static_cast<HWND*>(parameter) : nullptr;
    g_report.mainWindow = window;
    int result = RunUndo("");
    if (window) SendMessageA(window, WM_SCAN_FINISHED, 0, 0);
    return static_cast<DWORD>(result);
}
