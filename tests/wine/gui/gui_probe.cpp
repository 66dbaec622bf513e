// Looks at the windowed program from the outside, inside the same Wine
// prefix: waits for its windows and prints what their controls show, so
// that a shell test can drive it with the keyboard and check each state.
//
//   gui_probe wait TITLE SECONDS            a visible window titled TITLE
//   gui_probe gone TITLE SECONDS            no visible window titled TITLE
//   gui_probe finished TITLE TEXT N SECONDS the list holds N entries that
//                                           begin with TEXT, and Start Scan
//                                           is enabled again
//   gui_probe dump TITLE                    every control: id.text=, .checked=,
//                                           .enabled=, list items, toolbar states
//   gui_probe rect TITLE ID                 screen rectangle of a control
//   gui_probe hold FILE SECONDS             keeps FILE open as a program in use
//                                           does (others may only read it),
//                                           writes FILE.held once it holds it
// Exit code 0 on success, 1 when a wait ran out or the window is missing.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

enum { LIST_ID = 1010, TOOLBAR_ID = 603, START_SCAN = 600, CONFIGURATION = 601 };

struct Search {
    const char* title;
    HWND found;
};

// One line per value: line breaks inside a text are shown as \r and \n.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string TextOf(HWND window) {
    // WM_GETTEXT is carried across processes; GetWindowTextA would read a
    // stale copy of an edit field's text.
    char text[1024] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &ignored);
    return OneLine(text);
}

BOOL CALLBACK MatchTitle(HWND window, LPARAM lParam) {
    Search* search = reinterpret_cast<Search*>(lParam);
    char title[512] = {};
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && strcmp(title, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTitled(const char* title) {
    Search search = {title, nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every 100 ms until done answers true or the time runs out.
template <typename Done>
bool WaitFor(double seconds, Done done) {
    DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        if (done()) return true;
        if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
        Sleep(100);
    }
}

std::string ListItem(HWND list, int index) {
    // Wine hands list texts to another process as wide characters only.
    static WCHAR wide[8192];
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length >= 8192) return "<bad length>";
    wide[0] = 0;
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide));
    char text[8192 * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return OneLine(text);
}

int CountItemsStartingWith(HWND list, const char* prefix) {
    int count = 0;
    int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
        if (ListItem(list, i).rfind(prefix, 0) == 0) ++count;
    return count;
}

bool StartScanEnabled(HWND window) {
    HWND bar = GetDlgItem(window, TOOLBAR_ID);
    return bar && (SendMessageA(bar, TB_GETSTATE, START_SCAN, 0) & TBSTATE_ENABLED);
}

std::string ButtonState(HWND bar, int command) {
    LRESULT state = SendMessageA(bar, TB_GETSTATE, command, 0);
    if (state == -1) return "missing";
    if (state & TBSTATE_INDETERMINATE) return "indeterminate";
    return (state & TBSTATE_ENABLED) ? "enabled" : "disabled";
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void DumpControl(HWND control) {
    int id = GetDlgCtrlID(control);
    std::string kind = ClassOf(control);
    printf("%d.class=%s\n", id, kind.c_str());
    printf("%d.enabled=%d\n", id, IsWindowEnabled(control) ? 1 : 0);
    if (_stricmp(kind.c_str(), "ToolbarWindow32") == 0) {
        printf("%d.buttons=%d\n", id, static_cast<int>(SendMessageA(control, TB_BUTTONCOUNT, 0, 0)));
        printf("%d.button.%d=%s\n", id, START_SCAN, ButtonState(control, START_SCAN).c_str());
        printf("%d.button.%d=%s\n", id, CONFIGURATION, ButtonState(control, CONFIGURATION).c_str());
        return;
    }
    printf("%d.text=%s\n", id, TextOf(control).c_str());
    if (_stricmp(kind.c_str(), "Button") == 0) {
        LONG style = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (style == BS_AUTOCHECKBOX || style == BS_CHECKBOX || style == BS_AUTORADIOBUTTON || style == BS_RADIOBUTTON)
            printf("%d.checked=%d\n", id, SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    }
    if (_stricmp(kind.c_str(), "ListBox") == 0) {
        int n = static_cast<int>(SendMessageA(control, LB_GETCOUNT, 0, 0));
        printf("%d.count=%d\n", id, n);
        for (int i = 0; i < n; ++i) printf("%d.item.%d=%s\n", id, i, ListItem(control, i).c_str());
    }
}

int Dump(HWND window) {
    printf("title=%s\n", TextOf(window).c_str());
    printf("enabled=%d\n", IsWindowEnabled(window) ? 1 : 0);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) DumpControl(child);
    return 0;
}

int Rect(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    RECT r;
    if (!control || !GetWindowRect(control, &r)) return 1;
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

int Hold(const char* file, double seconds) {
    HANDLE held = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    std::string flag = std::string(file) + ".held";
    HANDLE mark = CreateFileA(flag.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    Sleep(static_cast<DWORD>(seconds * 1000));
    CloseHandle(held);
    return 0;
}

int Usage() {
    fprintf(stderr, "usage: gui_probe wait|gone|finished|dump|rect TITLE ... | hold FILE SECONDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    const char* title = argv[2];
    if (command == "wait" && argc == 4)
        return WaitFor(atof(argv[3]), [&] { return FindTitled(title) != nullptr; }) ? 0 : 1;
    if (command == "gone" && argc == 4)
        return WaitFor(atof(argv[3]), [&] { return FindTitled(title) == nullptr; }) ? 0 : 1;
    if (command == "finished" && argc == 6) {
        int wanted = atoi(argv[4]);
        return WaitFor(atof(argv[5]), [&] {
                   HWND window = FindTitled(title);
                   return window && StartScanEnabled(window) &&
                          CountItemsStartingWith(GetDlgItem(window, LIST_ID), argv[3]) >= wanted;
               })
                   ? 0
                   : 1;
    }
    if (command == "hold" && argc == 4) return Hold(argv[2], atof(argv[3]));
    // A window the script has just waited for can be out of reach for a
    // moment on a busy machine (its title being set again, a box closing in
    // front of it): it is looked for over a few seconds.
    HWND window = nullptr;
    if (!WaitFor(5, [&] { return (window = FindTitled(title)) != nullptr; })) {
        fprintf(stderr, "gui_probe: no window titled \"%s\"\n", title);
        return 1;
    }
    if (command == "dump" && argc == 3) return Dump(window);
    if (command == "rect" && argc == 4) return Rect(window, atoi(argv[3]));
    return Usage();
}
