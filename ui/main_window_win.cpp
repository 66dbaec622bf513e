#include "ui/main_window_win.h"

#include "report/message.h"
#include "report/sinks_win.h"
#include "script/identity.h"
#include "script/parse_context.h"
#include "ui/about_dialog_win.h"
#include "ui/config_dialog_win.h"
#include "ui/resource_ids.h"
#include "ui/scan_entry_win.h"
#include "ui/scan_control_win.h"
#include "ui/shared_resources_win.h"
#include "ui/toolbar_win.h"
#include "ui/window_texts.h"

// The message sinks write to these controls by their own names.
static_assert(IDC_MAIN_LIST == IDC_MESSAGE_LIST && IDC_MAIN_STATUS == IDC_STATUS_LINE, "list and status ids");
static_assert(IDC_MAIN_FILES_FOUND == IDC_COUNT_FILES_FOUND &&
                  IDC_MAIN_PROCESSES_TERMINATED == IDC_COUNT_PROCESSES_TERMINATED,
              "counter ids");

HWND g_mainWindow;

namespace {

WindowTexts g_texts;

// The template leaves no room for the toolbar, whose height depends on its
// labels' font: push everything else down by that height.
void MakeRoomForToolbar(HWND window, HWND bar) {
    RECT barRect;
    GetWindowRect(bar, &barRect);
    int height = barRect.bottom - barRect.top;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == bar) continue;
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, r.left, r.top + height, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT w;
    GetWindowRect(window, &w);
    SetWindowPos(window, nullptr, w.left, w.top - height / 2, w.right - w.left, w.bottom - w.top + height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnInitDialog(HWND window) {
    HWND bar = CreateToolbar(window);
    if (bar) MakeRoomForToolbar(window, bar);
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_shared.programIcon));
    EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);

    bool headerRead = g_scanEntry->loadHeader(window) == 0;
    BuildWindowTexts(&g_texts, headerRead, g_threatName, g_dataVersion, g_threatType);
    CounterLabels labels = CounterLabelsFor(headerRead, g_threatType);
    if (labels.filesDeleted) SetDlgItemTextA(window, IDC_LABEL_FILES_DELETED, labels.filesDeleted);
    if (labels.processesTerminated) SetDlgItemTextA(window, IDC_LABEL_PROCESSES_TERMINATED, labels.processesTerminated);
    SetWindowTextA(window, g_texts.title);
}

void Close(HWND window) {
    DestroyWindow(window);
    g_mainWindow = nullptr;
}

// Commands that would start a second scan, change the options under a
// running one or leave it behind are ignored until it has finished.
void OnCommand(HWND window, WORD command) {
    switch (command) {
    case IDC_TB_SCAN:
    case IDM_GO:
        if (!IsScanning()) StartScan(window);
        break;
    case IDM_UNDO:
        if (!IsScanning()) StartUndo(window);
        break;
    case IDCANCEL:  // Escape and the close box
    case IDM_EXIT:
        if (!IsScanning()) Close(window);
        break;
    case IDM_ABOUT:
        ShowAboutBox(window, &g_texts);
        break;
    case IDC_TB_CONFIGURATION:
    case IDM_CONFIGURATION:
        if (!IsScanning()) ShowConfiguration(window);
        break;
    }
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return TRUE;
    case WM_SCAN_FINISHED:
        OnScanFinished(window);
        return TRUE;
    case WM_DESTROY:
        g_mainWindow = nullptr;
        g_report.mainWindow = nullptr;
        return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND CreateMainWindow() {
    g_mainWindow = CreateDialogParamA(g_shared.instance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                      MainWindowProc, 0);
    return g_mainWindow;
}
