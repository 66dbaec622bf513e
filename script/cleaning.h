// The work the group elements do on the machine at their end tags. The
// programs install the Win32 table before a scan; the data-file tool and the
// native tests leave it null, so a script can be read, its records built and
// released, and nothing on the machine is touched.
#pragma once
#include "script/parse_context.h"

struct FileRecord;
struct ProcessRecord;

struct CleaningWork {
    // Asks the resident on-access scanner to stop checking files. Answers
    // true on success.
    bool (*suspendScanner)();
    // Walks the directory list and acts on the files that fit the records.
    void (*scanDirectories)(ParseContext* context, FileRecord* files);
    // The memory pass of a MEMORY element: enumerates the processes, matches
    // them against the records and runs the process and thread passes.
    void (*scanMemory)(ParseContext* context, ProcessRecord* records);
};

extern const CleaningWork* g_cleaning;
