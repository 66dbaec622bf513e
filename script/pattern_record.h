// Bytes that must stand at a place in a file or in memory (PATTERN), or that
// are written into a process (PATCH): one record type for both.
#pragma once
#include <stdint.h>

enum {
    ORIGIN_START = 0,
    ORIGIN_ENTRY_POINT = 1,
    ORIGIN_END = 2,
    ORIGIN_STACK = 3,
    ORIGIN_PATTERN = 16,  // + n: where PATTERN n of the same parent was found
};

enum { PATTERN_MAX_BYTES = 1024 };

static const uint32_t PATTERN_NOT_FOUND = 0xFFFFFFFFu;
static const uint32_t PATTERN_NO_LIMIT = 0xFFFFFFFFu;

struct PatternRecord {
    int32_t offset;
    uint32_t found;  // PATTERN_NOT_FOUND until matched
    unsigned char bytes[PATTERN_MAX_BYTES];
    uint32_t count;
    uint32_t length;  // PATTERN_NO_LIMIT by default
    int32_t origin;
    int32_t forwards;
    char* function;
    char* dll;
    // Where a forward search in a process's memory found it; 0 until then.
    // Apart from found, since an address in a 64-bit process needs 64 bits.
    uint64_t foundAddress;
    PatternRecord* next;
};

typedef PatternRecord PatchRecord;

// A new record with the defaults, or null when memory ran out.
PatternRecord* NewPatternRecord();
void FreePatternList(PatternRecord* first);
// Appends at the end, keeping document order.
void AppendPattern(PatternRecord** list, PatternRecord* record);
