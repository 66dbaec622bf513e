// The run report's items for the memory passes: what a PROCESS or THREAD
// record asked for, and the one item each thing acted on leaves.
#pragma once
#include <stdint.h>

struct ProcessRecord;

// What the record asked for, as the report's "matched" names it: the
// process name, "any process" without one, then its path and its library
// ("evil.exe (path C:\WINDOWS\evil.exe) (dll evil.dll)"); a record with a
// path and no name is named by the path. A new heap text; null when memory
// ran out.
char* RecordMatchText(const ProcessRecord* record);

// One item of the record's work on a process or one of its threads; a
// shortage of memory for the matched text leaves it empty.
void RecordProcessWork(int32_t kind, const ProcessRecord* record, const char* subject, const char* action,
                       int32_t outcome, uint32_t error, uint32_t processId, uint32_t threadId = 0);

// A process the enumeration could not examine, named by its identifier.
void RecordProcessNotExamined(uint32_t processId, const char* reason, uint32_t error);
