// One FILE element of a DISK: what identifies the file and what to do.
#pragma once
#include <stdint.h>

struct ActionRecord;
struct PatternRecord;

enum { MAX_EXTENSIONS = 31, EXTENSION_SIZE = 11 };

struct FileRecord {
    char* virusName;
    char* fileName;  // after folder macro expansion; absent means by extension
    char* typeName;
    ActionRecord* action;
    PatternRecord* patterns;  // document order
    uint32_t size;            // 0: any size
    char extensions[MAX_EXTENSIONS][EXTENSION_SIZE];  // each with its dot; empty: any
    FileRecord* next;  // the FILE read before this one
};

// Releases the whole list with everything its records hold.
void FreeFileList(FileRecord* first);
