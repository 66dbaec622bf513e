#include "ui/about_dialog_win.h"

#include "script/identity.h"
#include "ui/resource_ids.h"
#include "ui/shared_resources_win.h"

namespace {

void OnInit(HWND dialog, const WindowTexts* texts) {
    SetDlgItemTextA(dialog, IDC_ABOUT_PROGRAM, kProgramLine);
    SetDlgItemTextA(dialog, IDC_ABOUT_NOTICE, kNoticeLine);
    SendDlgItemMessageA(dialog, IDC_ABOUT_PROGRAM, WM_SETFONT, reinterpret_cast<WPARAM>(g_shared.boldFont), FALSE);
    SendDlgItemMessageA(dialog, IDC_ABOUT_NOTICE, WM_SETFONT, reinterpret_cast<WPARAM>(g_shared.boldFont), FALSE);
    SetDlgItemTextA(dialog, IDC_ABOUT_DATA_VERSION, texts->versionLine);
    SetDlgItemTextA(dialog, IDC_ABOUT_DESCRIPTION, texts->description);
    HWND list = GetDlgItem(dialog, IDC_ABOUT_VARIANTS);
    if (!list) return;
    for (int i = 0; i < MAX_VARIANTS && g_variants[i]; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_variants[i]));
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, reinterpret_cast<const WindowTexts*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ABOUT_OK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner, const WindowTexts* texts) {
    int which = g_variants[0] ? IDD_ABOUT_VARIANTS : IDD_ABOUT;
    DialogBoxParamA(g_shared.instance, MAKEINTRESOURCEA(which), owner, AboutProc, reinterpret_cast<LPARAM>(texts));
}
