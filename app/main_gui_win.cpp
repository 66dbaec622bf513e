// The windowed program: the main window, from which the user starts scans
// on a worker thread, changes the options and reads what the scans did.
//
// Exit code: the result code of the last scan run (0, 1, 3, 9, 10 or 12),
// or 0 when the window was closed without any scan having run.
#include <windows.h>
#include <stdlib.h>

#include "app/header_pass.h"
#include "app/run_options.h"
#include "app/scan_run.h"
#include "app/undo_command.h"
#include "disk/cleaning_win.h"
#include "report/message.h"
#include "report/prompts.h"
#include "report/sinks_win.h"
#include "script/cleaning.h"
#include "script/identity.h"
#include "ui/main_window_win.h"
#include "ui/scan_control_win.h"
#include "ui/scan_entry_win.h"
#include "ui/shared_resources_win.h"
#include "ui/toolbar_win.h"
#include "ui/window_prompts_win.h"

// Runs until the main window is gone. Keyboard input to the window goes
// through the dialog manager: Tab, Escape and the menu keys.
static void RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        HWND window = g_mainWindow;
        if (!window || !IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!g_mainWindow) break;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    // The options keep pointers into the arguments: they live to the end.
    char* commandLine = _strdup(arguments ? arguments : "");
    if (!commandLine) return 12;
    ParseCommandLine(commandLine);
    InstallRunOptions(&g_runOptions);

    g_report.sinks = Win32MessageSinks();
    g_prompts = WindowPrompts();
    g_cleaning = Win32CleaningWork();
    static const ScanEntry kScanEntry = {LoadDataHeader, ScanRun, InstallRunOptions, UndoRun};
    g_scanEntry = &kScanEntry;

    LoadSharedResources(instance);
    if (CreateMainWindow()) RunMessageLoop();

    DWORD result = LastScanResult();
    FreeSharedResources();
    ReleaseToolbarLibrary();
    FreeVariants();
    free(commandLine);
    return static_cast<int>(result);
}
