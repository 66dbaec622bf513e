// One PROCESS or THREAD element of a MEMORY group, and its matches.
#pragma once
#include <stdint.h>

struct ActionRecord;
struct PatternRecord;
struct LibraryRef;

// What the enumeration learnt of a process besides its names, kept with
// each match: a process ID is only a number, which Windows gives to
// another process once the matched one has ended.
struct ProcessStamp {
    uint64_t creationTime;  // as Windows keeps it; 0 when it cannot be read (9x)
    int32_t otherAccount;   // it ran under another account than this program (NT)
};

struct FoundProcess {
    char* moduleName;
    char* executablePath;
    uint32_t processId;
    ProcessStamp stamp;
    int32_t takenOver;  // a pass found its ID naming another process: no pass acts on it
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
