// The directory list of a DISK element, taken entry by entry in its order,
// the same on every platform; the platform scans each entry.
#include <stdlib.h>

#include "disk/directory_list.h"
#include "disk/walk.h"
#include "script/data_error.h"
#include "script/match_pattern.h"

void ScanDirectoryList(ParseContext* context, FileRecord* files, const char* wholeDrive, EntryScanner scan) {
    unsigned char* scratch = static_cast<unsigned char*>(malloc(MATCH_BUFFER_SIZE));
    if (!scratch) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    if (g_directoryCount == 0) {
        scan(wholeDrive, false, files, scratch);
    } else {
        for (int32_t i = 0; i < g_directoryCount && i < MAX_DIRECTORIES; ++i)
            if (g_directories[i]) scan(g_directories[i], g_directoryTopOnly[i], files, scratch);
    }
    free(scratch);
}
