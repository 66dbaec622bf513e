// One PROCESS or THREAD element of a MEMORY group, and its matches.
#pragma once
#include <stdint.h>

struct ActionRecord;
struct PatternRecord;
struct LibraryRef;

struct FoundProcess {
    char* moduleName;
    char* executablePath;
    uint32_t processId;
    FoundProcess* next;
};

struct ProcessRecord {
    char* virusName;
    char* processName;
    // The executable's full path (path attribute, folder macro expanded);
    // null: any folder.
    char* processPath;
    char* typeName;
    int32_t isProcess;  // 0 for THREAD
    ActionRecord* action;
    PatternRecord* patterns;  // document order
    FoundProcess* found;
    LibraryRef* library;
    ProcessRecord* next;
};

void FreeProcessList(ProcessRecord* first);
