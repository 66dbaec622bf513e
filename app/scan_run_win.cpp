#include <windows.h>

#include "app/open_group.h"
#include "app/run_facts_win.h"
#include "app/run_log_win.h"
#include "app/run_options.h"
#include "app/scan_run.h"
#include "app/summary.h"
#include "app/wow64_notice_win.h"
#include "disk/directory_list.h"
#include "disk/scanner.h"
#include "memory/process_match.h"
#include "memory/system_api_win.h"
#include "memory/thread_control_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/prompts.h"
#include "report/run_report.h"
#include "script/data_error.h"
#include "script/data_reader.h"
#include "script/pass.h"
#include "script/store.h"
#include "system/shares_win.h"
#include "undo/undo_run.h"

// Answers the run's result when the platform ends it, else 0.
static int IdentifyPlatform(ParseContext* context) {
    OSVERSIONINFOA* info = static_cast<OSVERSIONINFOA*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 148));
    if (!info) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return RESULT_NO_MEMORY;
    }
    info->dwOSVersionInfoSize = 148;
    BOOL known = GetVersionExA(info);
    DWORD platform = info->dwPlatformId;
    HeapFree(GetProcessHeap(), 0, info);
    if (!known) {
        ReportMessage(MSG_ERROR, "\r\nCould not find operating system\r\n");
        return RESULT_PLATFORM;
    }
    if (platform == VER_PLATFORM_WIN32_NT) {
        context->flags |= RUN_WINNT;
        g_platformCode = PLATFORM_NT;
    } else if (platform == VER_PLATFORM_WIN32_WINDOWS) {
        context->flags |= RUN_WIN9X;
        g_platformCode = PLATFORM_9X;
    } else {
        ReportMessage(MSG_ERROR, "\r\nUnsupported operating system platform!\r\n");
        return RESULT_PLATFORM;
    }
    return RESULT_OK;
}

// Answers false when the user declines to go on without Administrator rights.
static bool CheckRights(ParseContext* context) {
    if (g_runOptions.sharesMode == 2) {
        context->flags |= RUN_SKIP;
        return true;
    }
    if (!(context->flags & RUN_WINNT) || IsAdministrator()) return true;
    bool application = g_threatType == THREAT_APPLICATION;
    // A report-only run asks nothing: it changes nothing either way.
    if (g_settings.confirmation && !ReportOnlyRun()) {
        const char* question = application
            ? "You are not logged on as an Administrator.\r\nThe application may not be completely removed\r\n\r\n"
              "Do you wish to continue?"
            : "You are not logged on as an Administrator.\r\nThe system may not be completely disinfectable.\r\n\r\n"
              "Do you wish to continue?";
        int answer = (g_prompts && g_prompts->askYesNo) ? g_prompts->askYesNo(g_report.mainWindow, question, kCaption)
                                                        : 'N';
        return answer == 'Y';
    }
    ReportMessage(MSG_ERROR, application ? "\r\nThe current user does not have Administrator rights\r\n"
                                           "The application may not be completely removed\r\n"
                                         : "\r\nThe current user does not have Administrator rights\r\n"
                                           "The system may not be completely disinfected\r\n");
    return true;
}

// Parsing: from the parser's creation to its release. Answers the result.
static int ParseScript(ParseContext* context) {
    if (!CreateScriptParser(context)) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return RESULT_NO_MEMORY;
    }
    int result = RunDecoder(context, false);
    ReleaseScriptParser();
    return result;
}

static void Finish(ParseContext* context) {
    // Written while the log is open, so that a report that cannot be
    // written is named there.
    EndRunFacts(context->result, (context->flags & RUN_SKIP) != 0);
    FreeStores();
    ReportMessage(MSG_STATUS, "\r\n");
    if (g_scannerSuspended) {
        SetScannerState(1);  // the outcome is not reported
        g_scannerSuspended = 0;
    }
    ClearDirectoryList();
    ReleaseProcessApis();
    FreeContextTexts(context);
    FreeDecoderBuffers(context);
    ReleaseServerApi();
    CloseDataFile(context);
    CloseRunLog();
}

DWORD WINAPI ScanRun(LPVOID parameter) {
    ParseContext context;
    ResetParseContext(&context, RUN_INITIAL_FLAGS);
    FreeStores();
    ResetCounters();
    g_infected = 0;
    g_actionsPending = 0;
    HWND window = parameter ? *static_cast<HWND*>(parameter) : nullptr;
    g_report.mainWindow = window;
    BeginRunFacts(g_runOptions.sharesMode == 2 ? "restoreShares" : "scan");

    OpenRunLog();
    int result = IdentifyPlatform(&context);
    if (result == RESULT_OK) ReportWow64View();
    ClearDirectoryList();
    if (result == RESULT_OK && !AllocateDecoderBuffers(&context)) {
        ReportDataError(&context, DATA_ERROR_MEMORY);
        result = RESULT_NO_MEMORY;
    }
    if (result == RESULT_OK && !OpenDataFile(&context)) result = RESULT_NO_DATA;
    if (result == RESULT_OK && !CheckRights(&context)) result = RESULT_PLATFORM;
    if (result == RESULT_OK) {
        bool saving = !g_runOptions.noUndo && g_runOptions.sharesMode != 2 && !ReportOnlyRun();
        if (saving) BeginUndoJournal(g_settings.dataFile);
        result = ParseScript(&context);
        ResumeSuspendedProcesses(&context);
        if (g_runOptions.sharesMode == 2) {
            if (g_platformCode == PLATFORM_NT)
                RestoreSharesNt();
            else
                RestoreShares9x();
        }
        if (g_runOptions.sharesMode != 2 && !(context.flags & RUN_SKIP))
            WriteSummary(context.flags, context.threatType, ReportOnlyRun());
        if (saving) EndUndoJournal();
        if (result != RESULT_OK) CloseOpenGroup(&context);
    }
    context.result = result;
    Finish(&context);
    if (window) SendMessageA(window, WM_SCAN_FINISHED, 0, 0);
    return static_cast<DWORD>(result);
}
