#include "ui/window_prompts_win.h"

#include <windows.h>

#include "ui/resource_ids.h"

namespace {

struct PromptTexts {
    const char* upper;
    const char* lower;
};

INT_PTR CALLBACK ConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const PromptTexts* texts = reinterpret_cast<const PromptTexts*>(lParam);
        SetDlgItemTextA(dialog, IDC_PROMPT_UPPER, texts->upper);
        SetDlgItemTextA(dialog, IDC_PROMPT_LOWER, texts->lower);
        SendDlgItemMessageA(dialog, IDC_PROMPT_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_QUESTION)), 0);
        return TRUE;  // focus to Yes, the first button
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
        case IDC_YES_TO_ALL:
        case IDNO:
        case IDCANCEL:  // Escape and the close box
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int AskYesNo(void* owner, const char* text, const char* caption) {
    int pressed = MessageBoxA(static_cast<HWND>(owner), text, caption, MB_YESNO | MB_ICONQUESTION);
    return pressed == IDYES ? 'Y' : 'N';
}

int AskYesAllNo(void* owner, const char* upper, const char* lower) {
    PromptTexts texts = {upper ? upper : "", lower ? lower : ""};
    // The dialog lives in the program's own resources; a dialog that cannot
    // be made (0 or -1) counts as No.
    INT_PTR ended = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIRM),
                                    static_cast<HWND>(owner), ConfirmProc, reinterpret_cast<LPARAM>(&texts));
    if (ended == IDYES) return 'Y';
    if (ended == IDC_YES_TO_ALL) return 'A';
    return 'N';
}

void ShowInformation(void* owner, const char* text, const char* caption) {
    MessageBoxA(static_cast<HWND>(owner), text, caption, MB_ICONINFORMATION | MB_OK);
}

}  // namespace

const PromptPort* WindowPrompts() {
    static const PromptPort port = {AskYesNo, AskYesAllNo, ShowInformation};
    return &port;
}
