#include "disk/disk_element.h"

#include "script/settings.h"
#include "disk/directory_list.h"
#include "disk/file_record.h"
#include "disk/scanner.h"
#include "report/message.h"
#include "script/cleaning.h"

void OnDiskStart(ParseContext* context, const char* name, const char** attributes) {
    context->flags |= RUN_IN_DISK;
    context->groupRecord = nullptr;
}

static void WriteHeading(const ParseContext* context) {
    if (context->threatType == THREAT_APPLICATION) {
        ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking files\r\n");
    } else {
        const char* name = context->genericName ? context->genericName : "";
        ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking for files affected by %s\r\n", name);
    }
}

// The machine work goes through the installed table: without one (the
// data-file tool, native tests) the lists are only built and released.
static void SearchDisk(ParseContext* context, FileRecord* files) {
    if (context->flags & RUN_FIRST_DISK) WriteHeading(context);
    context->flags |= RUN_DID_FILES;
    const CleaningWork* work = g_cleaning;
    if (!work) return;
    if (!g_scannerSuspended && work->suspendScanner) {
        // A failure is only a warning: the next DISK of the run asks again.
        if (work->suspendScanner())
            g_scannerSuspended = 1;
        else
            ReportMessage(MSG_WARNING, "\r\nCould not disable Vigilox\r\n");
    }
    if (work->scanDirectories) work->scanDirectories(context, files);
}

void OnDiskEnd(ParseContext* context, const char* name) {
    // Only inside DISK is the group record a FILE list.
    FileRecord* files = (context->flags & RUN_IN_DISK) ? static_cast<FileRecord*>(context->groupRecord) : nullptr;
    if (!(context->flags & RUN_SKIP) && !g_settings.skipDisk) SearchDisk(context, files);
    ClearDirectoryList();
    FreeFileList(files);
    if (context->flags & RUN_IN_DISK) context->groupRecord = nullptr;
    context->flags &= ~(RUN_IN_DISK | RUN_FIRST_DISK);
}
