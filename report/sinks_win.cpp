#include "report/sinks_win.h"

#include <windows.h>

namespace {

void WriteToFile(OutHandle file, const char* bytes, size_t count) {
    DWORD written = 0;
    // Output that cannot be written is lost; there is nowhere to report it.
    WriteFile((HANDLE)file, bytes, (DWORD)count, &written, nullptr);
}

int AddListEntry(void* window, const char* line) {
    return (int)SendDlgItemMessageA((HWND)window, IDC_MESSAGE_LIST, LB_ADDSTRING, 0, (LPARAM)line);
}

void SelectListEntry(void* window, int index) {
    SendDlgItemMessageA((HWND)window, IDC_MESSAGE_LIST, LB_SETCURSEL, (WPARAM)index, 0);
}

void SetStatusLine(void* window, const char* line) {
    SetDlgItemTextA((HWND)window, IDC_STATUS_LINE, line);
}

void SetControlText(void* window, int controlId, const char* text) {
    SetDlgItemTextA((HWND)window, controlId, text);
}

const MessageSinks kSinks = {WriteToFile, AddListEntry, SelectListEntry, SetStatusLine,
                             SetControlText};

}  // namespace

const MessageSinks* Win32MessageSinks() { return &kSinks; }
