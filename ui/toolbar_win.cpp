#include "ui/toolbar_win.h"

#include <commctrl.h>

#include "script/system_library_win.h"
#include "ui/resource_ids.h"
#include "ui/shared_resources_win.h"

namespace {

HMODULE g_commonControls;

typedef BOOL(WINAPI* InitControlsFunction)(const INITCOMMONCONTROLSEX*);

// Loads the library once; it stays loaded until the program ends. The
// version the manifest asks for is already in the process when the dialog's
// controls were made through it, and is taken as it is; else the system
// folder's.
bool InitBarClasses() {
    if (!g_commonControls) g_commonControls = LoadSystemLibrary("comctl32.dll");
    if (!g_commonControls) return false;
    InitControlsFunction init =
        reinterpret_cast<InitControlsFunction>(GetProcAddress(g_commonControls, "InitCommonControlsEx"));
    if (!init) return false;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
    return init(&classes) != FALSE;
}

int AddBitmap(HWND bar, HBITMAP bitmap) {
    TBADDBITMAP added = {nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
    return static_cast<int>(SendMessageA(bar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&added)));
}

TBBUTTON Button(int image, int command, BYTE style, INT_PTR label) {
    TBBUTTON button = {};
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = style == BTNS_SEP ? 0 : TBSTATE_ENABLED;
    button.fsStyle = style;
    button.iString = label;
    return button;
}

}  // namespace

HWND CreateToolbar(HWND mainWindow) {
    if (!InitBarClasses()) return nullptr;
    HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | TBSTYLE_FLAT | CCS_ADJUSTABLE, 0, 0, 0, 0,
                               mainWindow, reinterpret_cast<HMENU>(IDC_TOOLBAR), g_shared.instance, nullptr);
    if (!bar) return nullptr;
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Two labels in one list, each ended by a zero, the list by a second one.
    INT_PTR firstLabel =
        SendMessageA(bar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>("  Start Scan  \0Configuration\0"));
    SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELONG(47, 37));
    int scanImage = AddBitmap(bar, g_shared.scanBitmap);
    int settingsImage = AddBitmap(bar, g_shared.settingsBitmap);
    TBBUTTON buttons[] = {
        Button(scanImage, IDC_TB_SCAN, BTNS_BUTTON | BTNS_AUTOSIZE, firstLabel),
        Button(0, IDC_TB_SEPARATOR, BTNS_SEP, 0),
        Button(settingsImage, IDC_TB_CONFIGURATION, BTNS_BUTTON | BTNS_AUTOSIZE, firstLabel + 1),
    };
    SendMessageA(bar, TB_ADDBUTTONSA, 3, reinterpret_cast<LPARAM>(buttons));
    SendMessageA(bar, TB_SETINDENT, 10, 0);
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
    ShowWindow(bar, SW_SHOW);
    return bar;
}

void SetToolbarScanning(HWND mainWindow, bool scanning) {
    HWND bar = GetDlgItem(mainWindow, IDC_TOOLBAR);
    if (!bar) return;
    LPARAM state = MAKELONG(scanning ? TBSTATE_INDETERMINATE : TBSTATE_ENABLED, 0);
    SendMessageA(bar, TB_SETSTATE, IDC_TB_SCAN, state);
    SendMessageA(bar, TB_SETSTATE, IDC_TB_CONFIGURATION, state);
}

void ReleaseToolbarLibrary() {
    if (g_commonControls) FreeLibrary(g_commonControls);
    g_commonControls = nullptr;
}
