#include "app/run_log_win.h"

#include <windows.h>

#include "app/banner.h"
#include "report/message.h"
#include "report/own_file_win.h"
#include "script/settings.h"

bool OpenRunLog() {
    HANDLE log;
    OwnFileOpen opened = OpenOwnFile(g_settings.logPath, GENERIC_READ | GENERIC_WRITE, &log);
    if (opened == OWN_FILE_REFUSED) {
        ReportMessage(MSG_ERROR, OWN_FILE_REFUSED_LOG, g_settings.logPath);
        return false;
    }
    if (opened != OWN_FILE_OPENED) {
        ReportMessage(MSG_ERROR, "\r\nUnable to open log file %s\r\n", g_settings.logPath);
        return false;
    }
    SetFilePointer(log, 0, nullptr, FILE_END);
    g_report.logFile = log;
    ReportMessage(MSG_LOG_ONLY | MSG_INFO, "\r\n\r\n" MENDRIX_VERSION_LINE "\r\n%s", MENDRIX_NOTICE_LINE);
    return true;
}

void CloseRunLog() {
    if (g_report.logFile) CloseHandle(g_report.logFile);
    g_report.logFile = nullptr;
}
