#include "ui/config_dialog_win.h"

#include "script/settings.h"
#include "script/parse_context.h"
#include "ui/resource_ids.h"
#include "ui/shared_resources_win.h"
#include "ui/window_texts.h"

namespace {

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

// The scan choice only matters while files are searched at all. Following
// the box rather than flipping keeps the two in step however it was clicked.
void MatchScopeToDiskBox(HWND dialog) {
    BOOL searching = IsChecked(dialog, IDC_CONFIG_DISK);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_SCOPE_EXPECTED), searching);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_SCOPE_ALL), searching);
}

void OnInit(HWND dialog) {
    // The buffer holds 255 characters and its terminator; longer input
    // would be cut without the user seeing it.
    SendDlgItemMessageA(dialog, IDC_CONFIG_LOG_PATH, EM_LIMITTEXT, LOG_PATH_SIZE - 1, 0);
    SetDlgItemTextA(dialog, IDC_CONFIG_LOG_PATH, g_runOptions.logPath);
    ConfigTexts texts = ConfigTextsFor(g_threatType);
    SetDlgItemTextA(dialog, IDC_CONFIG_DISK, texts.searchOnDisk);
    SetDlgItemTextA(dialog, IDC_CONFIG_SCOPE_EXPECTED, texts.expectedPlaces);
    Check(dialog, IDC_CONFIG_CONFIRM, g_runOptions.confirm != 0);
    Check(dialog, IDC_CONFIG_VERBOSE, g_runOptions.verbose != 0);
    Check(dialog, IDC_CONFIG_REPORT_ONLY, g_runOptions.reportOnly != 0);
    Check(dialog, g_runOptions.allFiles ? IDC_CONFIG_SCOPE_ALL : IDC_CONFIG_SCOPE_EXPECTED, true);
    Check(dialog, IDC_CONFIG_DISK, g_runOptions.noDisk == 0);
    MatchScopeToDiskBox(dialog);
}

void OnOk(HWND dialog) {
    GetDlgItemTextA(dialog, IDC_CONFIG_LOG_PATH, g_logPathBuffer, LOG_PATH_SIZE);
    g_runOptions.confirm = IsChecked(dialog, IDC_CONFIG_CONFIRM);
    g_runOptions.verbose = IsChecked(dialog, IDC_CONFIG_VERBOSE);
    g_runOptions.reportOnly = IsChecked(dialog, IDC_CONFIG_REPORT_ONLY);
    g_runOptions.allFiles = IsChecked(dialog, IDC_CONFIG_SCOPE_ALL);
    g_runOptions.noDisk = !IsChecked(dialog, IDC_CONFIG_DISK);
    EndDialog(dialog, IDOK);
}

void OnCommand(HWND dialog, WORD command) {
    switch (command) {
    case IDC_CONFIG_DISK:
        MatchScopeToDiskBox(dialog);
        break;
    case IDOK:
        OnOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    }
}

INT_PTR CALLBACK ConfigurationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void ShowConfiguration(HWND owner) {
    DialogBoxParamA(g_shared.instance, MAKEINTRESOURCEA(IDD_CONFIGURATION), owner, ConfigurationProc, 0);
}
