// Whether a process fits a PROCESS or THREAD record: the name test, the
// patterns read in the process's memory, and the patches written into it.
#pragma once
#include <stdint.h>

#include "memory/process_memory.h"

struct PatternRecord;
struct ProcessRecord;
struct ProcessStamp;

// Set when a run starts; set by matches and passes that leave work for the
// suspension and library release passes; never cleared within a run.
extern int32_t g_actionsPending;

// AddressOfEntryPoint (origin 1) or SizeOfImage (origin 2) from the image
// headers at base. False when they cannot be read or are not "PE".
bool ReadImageValue(const ProcessMemory* memory, uint64_t base, int32_t origin, uint64_t* value);

// The pattern's bytes at address: compared exactly, or searched forwards
// within its length and the region that holds address. A forward find is
// kept in the pattern's foundAddress.
bool MatchBytesAt(const ProcessMemory* memory, uint64_t address, PatternRecord* pattern);

// One pattern of a PROCESS record at a module's base address.
bool MatchPatternInProcess(const ProcessMemory* memory, uint64_t base, PatternRecord* pattern);

// The match test of one record against one process, with everything a
// match sets off (the found list, "write", the infected flag). A found
// entry keeps the stamp, when there is one.
bool CheckModule(uint32_t processId, const ProcessMemory* memory, uint64_t base, const char* moduleName,
                 const char* executablePath, ProcessRecord* record, const ProcessStamp* stamp = nullptr);

// Writes the record's PATCH records into the process, relative to base.
// *error, when asked for, gets the Windows error code of a failed write (0
// when a patch failed for want of a place to write).
bool PatchProcessMemory(ProcessRecord* record, const ProcessMemory* memory, uint64_t base, uint32_t* error = nullptr);

// The record's ACTION keyword, or null when it has none.
const char* RecordKeyword(const ProcessRecord* record);
bool KeywordIs(const ProcessRecord* record, const char* word);
// "suspend", "suspendandresume" and anything else starting with "suspend".
bool KeywordStartsSuspend(const ProcessRecord* record);
