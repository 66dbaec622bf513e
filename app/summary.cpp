#include "app/summary.h"

#include "report/counters.h"
#include "report/message.h"
#include "script/parse_context.h"

static const uint32_t kSummaryLevel = MSG_NO_LIST | MSG_INFO;

static void Line(const char* format, int32_t count) { ReportMessage(kSummaryLevel, format, static_cast<int>(count)); }

void WriteSummary(uint32_t runFlags, int32_t threatType, bool reportOnly) {
    const int32_t* c = g_counters;
    bool virus = threatType == THREAT_VIRUS;
    ReportMessage(kSummaryLevel, "\r\n");
    if (runFlags & RUN_DID_PROCESSES) {
        Line("\tProcesses found                     : %d\r\n", c[COUNT_PROCESSES_FOUND]);
        Line(virus ? "\tProcesses terminated or disinfected : %d\r\n" : "\tProcesses terminated                : %d\r\n",
             c[COUNT_PROCESSES_TERMINATED]);
    }
    if (runFlags & RUN_DID_SERVICES) {
        Line("\tServices found                      : %d\r\n", c[COUNT_SERVICES_FOUND]);
        Line("\tServices removed                    : %d\r\n", c[COUNT_SERVICES_REMOVED]);
    }
    if (runFlags & RUN_DID_INIFILES) {
        Line("\tIni file entries found              : %d\r\n", c[COUNT_INI_FOUND]);
        Line("\tIni file entries changed            : %d\r\n", c[COUNT_INI_CHANGED]);
    }
    if (runFlags & RUN_DID_SHARES) Line("\tNetwork shares deleted              : %d\r\n", c[COUNT_SHARES_DELETED]);
    if (runFlags & RUN_DID_REGISTRY) {
        Line("\tRegistry keys affected              : %d\r\n", c[COUNT_REGKEYS_AFFECTED]);
        Line("\tRegistry keys changed               : %d\r\n", c[COUNT_REGKEYS_CHANGED]);
    }
    if (runFlags & RUN_DID_FILES) {
        Line("\tFiles found                         : %d\r\n", c[COUNT_FILES_FOUND]);
        Line("\tFiles deleted                       : %d\r\n", c[COUNT_FILES_DELETED]);
        if (c[COUNT_FILES_CHANGED] != 0)
            Line(virus ? "\tInfected files disinfected          : %d\r\n" : "\tFiles changed                       : %d\r\n",
                 c[COUNT_FILES_CHANGED]);
        if (g_filesScheduled != 0) Line("\tFiles to be removed at restart      : %d\r\n", g_filesScheduled);
    }
    if (reportOnly)
        ReportMessage(MSG_INFO, "\r\nReport-only run: nothing on this machine was changed\r\n");
}
