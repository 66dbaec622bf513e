#include "ui/scan_control_win.h"

#include <stdio.h>

#include "report/counters.h"
#include "report/prompts.h"
#include "report/sinks_win.h"
#include "ui/resource_ids.h"
#include "ui/scan_entry_win.h"
#include "ui/toolbar_win.h"

namespace {

HWND g_scanWindow;      // the worker's thread parameter points here
HANDLE g_worker;        // present exactly while a scan runs
HANDLE g_finishedWorker;  // kept for its exit code, the program's result

void SetCommandsScanning(HWND mainWindow, bool scanning) {
    SetToolbarScanning(mainWindow, scanning);
    UINT state = MF_BYCOMMAND | (scanning ? MF_GRAYED : MF_ENABLED);
    HMENU menu = GetMenu(mainWindow);
    EnableMenuItem(menu, IDM_GO, state);
    EnableMenuItem(menu, IDM_UNDO, state);
    EnableMenuItem(menu, IDM_EXIT, state);
    EnableMenuItem(menu, IDM_CONFIGURATION, state);
    EnableMenuItem(GetSystemMenu(mainWindow, FALSE), SC_CLOSE, state);
    DrawMenuBar(mainWindow);
}

void ForgetFinishedWorker() {
    if (g_finishedWorker) CloseHandle(g_finishedWorker);
    g_finishedWorker = nullptr;
}

}  // namespace

bool IsScanning() { return g_worker != nullptr; }

namespace {

bool StartWorker(HWND mainWindow, LPTHREAD_START_ROUTINE body) {
    SetCommandsScanning(mainWindow, true);
    g_scanWindow = mainWindow;
    g_scanEntry->installOptions(&g_runOptions);
    g_worker = body ? CreateThread(nullptr, 0, body, &g_scanWindow, 0, nullptr) : nullptr;
    if (!g_worker) {
        // No worker will ever say it has finished.
        SetCommandsScanning(mainWindow, false);
        return false;
    }
    ForgetFinishedWorker();
    return true;
}

}  // namespace

void StartScan(HWND mainWindow) {
    if (!StartWorker(mainWindow, g_scanEntry->scanRun)) return;
    for (int id = IDC_COUNT_FILES_FOUND; id <= IDC_COUNT_PROCESSES_TERMINATED; ++id)
        SetDlgItemTextA(mainWindow, id, "0");
}

void StartUndo(HWND mainWindow) { StartWorker(mainWindow, g_scanEntry->undoRun); }

namespace {

// A scan that left files in use to Windows says so where the user looks
// last: the status line, which the scan itself has just cleared, and a box.
void TellRestartNeeded(HWND mainWindow) {
    if (g_filesScheduled == 0) return;
    // After the window's "Scanning:" label.
    SetDlgItemTextA(mainWindow, IDC_MAIN_STATUS, "done; restart Windows to finish removing the files in use");
    char text[256];
    snprintf(text, sizeof text,
             "Files to be removed at restart: %d\r\n\r\nSome files were in use and could not be removed now. "
             "Windows will remove them when it restarts.\r\n\r\nRestart Windows to finish the removal.",
             static_cast<int>(g_filesScheduled));
    MessageBoxA(mainWindow, text, kCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void OnScanFinished(HWND mainWindow) {
    g_finishedWorker = g_worker;
    g_worker = nullptr;
    SetCommandsScanning(mainWindow, false);
    TellRestartNeeded(mainWindow);
}

DWORD LastScanResult() {
    if (!g_finishedWorker) return 0;
    DWORD result = 0;
    // The worker sends its last message and returns; a few seconds is
    // plenty, and a stuck one must not keep the program alive.
    if (WaitForSingleObject(g_finishedWorker, 5000) == WAIT_OBJECT_0) GetExitCodeThread(g_finishedWorker, &result);
    ForgetFinishedWorker();
    return result;
}
