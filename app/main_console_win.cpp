// The console front end: the same command line as the windowed program, no
// window. Messages that would reach the log also go to standard output, the
// questions are asked on the console, and the exit code is the run's result
// code (0, 1, 3, 9, 10 or 12), or 3010 when the run succeeded and left files
// for Windows to remove when it restarts. Asked for help or its version, it answers
// and exits with 0 before any scan; a token it does not know is named on
// standard error and the scan goes on without it.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "app/banner.h"
#include "app/console_options.h"
#include "app/console_prompts_win.h"
#include "app/header_pass.h"
#include "app/run_options.h"
#include "app/scan_run.h"
#include "app/undo_command.h"
#include "disk/cleaning_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/prompts.h"
#include "report/sinks_win.h"
#include "script/cleaning.h"
#include "script/identity.h"

// The text after the program name, as the windowed entry point receives it.
static char* ArgumentsOf(char* commandLine) {
    char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

static HWND g_noWindow = nullptr;
// ERROR_SUCCESS_REBOOT_REQUIRED, as installers exit.
static const DWORD kRestartNeeded = 3010;
// The first help or version word of the command line.
static ConsoleRequest g_request = CONSOLE_SCAN;

static void WriteTo(DWORD which, const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(which), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

static void OnOtherToken(const char* token) {
    ConsoleRequest request = ConsoleRequestOf(token);
    if (request != CONSOLE_SCAN) {
        if (g_request == CONSOLE_SCAN) g_request = request;
        return;
    }
    WriteTo(STD_ERROR_HANDLE, "Unknown option ignored: \"");
    WriteTo(STD_ERROR_HANDLE, token);
    WriteTo(STD_ERROR_HANDLE, "\"\r\n");
}

// Answers help and version; false when a scan is to run.
static bool AnsweredRequest() {
    if (g_request == CONSOLE_HELP) WriteTo(STD_OUTPUT_HANDLE, kConsoleUsage);
    if (g_request == CONSOLE_VERSION) WriteTo(STD_OUTPUT_HANDLE, MENDRIX_VERSION_LINE "\r\n");
    return g_request != CONSOLE_SCAN;
}

int main() {
    // The options keep pointers into the command line: it lives to the end.
    char* commandLine = _strdup(GetCommandLineA());
    if (!commandLine) return 12;
    ParseCommandLine(ArgumentsOf(commandLine), OnOtherToken);
    if (AnsweredRequest()) {
        free(commandLine);
        return 0;
    }
    g_runOptions.secondOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    InstallRunOptions(&g_runOptions);

    g_report.sinks = Win32MessageSinks();
    g_prompts = ConsolePrompts();
    g_cleaning = Win32CleaningWork();

    if (g_runOptions.undo) {
        int undone = RunUndo(g_runOptions.undo);
        free(commandLine);
        return undone;
    }

    // Learn the threat type and pass the first IDENTITY, as the main window
    // does when it opens. Its messages would only reach a window, so they
    // stay off standard output; the scan reports any failure itself.
    g_report.secondOutput = nullptr;
    LoadDataHeader(nullptr);
    g_report.secondOutput = g_settings.secondOutput;

    HANDLE worker = CreateThread(nullptr, 0, ScanRun, &g_noWindow, 0, nullptr);
    if (!worker) return 1;
    WaitForSingleObject(worker, INFINITE);
    DWORD result = 1;
    GetExitCodeThread(worker, &result);
    CloseHandle(worker);
    // What installers answer for "done, restart needed", so that whatever
    // runs the program unattended knows the machine wants a restart.
    if (result == RESULT_OK && g_filesScheduled != 0) result = kRestartNeeded;
    FreeVariants();
    free(commandLine);
    return static_cast<int>(result);
}
