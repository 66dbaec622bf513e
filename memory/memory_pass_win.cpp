#include "memory/memory_pass_win.h"

#include "memory/enumerate_win.h"
#include "memory/privileges_win.h"
#include "memory/process_match.h"
#include "memory/process_passes_win.h"
#include "memory/resume_list.h"
#include "memory/thread_control_win.h"
#include "report/message.h"
#include "script/data_error.h"

namespace {

void ActOnFound(ProcessRecord* records, bool nt) {
    RunProcessPass(records, PASS_POST_MESSAGE, nt);
    RunProcessPass(records, PASS_TERMINATE, nt);
    RunProcessPass(records, PASS_RESTART, nt);
}

void ScanMemory9x(ProcessRecord* records) {
    if (Enumerate9x(records)) ActOnFound(records, false);
    Release9xApis();
}

void ScanMemoryNT(ParseContext* context, ProcessRecord* records) {
    if (EnablePrivileges() != 0) {
        ReportMessage(MSG_ERROR, "\r\nCould not adjust process security privileges\r\n");
        return;
    }
    if (!EnumerateNT(records)) {
        ReportMessage(MSG_ERROR, "\r\nCould not enumerate processes\r\n");
        return;
    }
    if (g_actionsPending) {
        int32_t suspended = RunProcessPass(records, PASS_SUSPEND, true);
        if (suspended > 0 && !BuildResumeList(context, records, suspended)) {
            ReportDataError(context, DATA_ERROR_MEMORY);
            return;
        }
        RunLibraryReleasePass(records);
    }
    if (RunThreadPass(records)) g_actionsPending = 1;
    ActOnFound(records, true);
}

}  // namespace

void ScanMemory(ParseContext* context, ProcessRecord* records) {
    if (context->flags & RUN_WIN9X)
        ScanMemory9x(records);
    else
        ScanMemoryNT(context, records);
}
