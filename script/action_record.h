// What the data file says to do with a file, process, thread, key or value
// that was found: the record built from an ACTION element.
#pragma once
#include <stdint.h>

struct PatternRecord;
struct ParseContext;

// A place in a file: an origin (ORIGIN_* of pattern_record.h) and a signed
// byte offset from it.
struct PositionSpec {
    int32_t origin;
    int32_t offset;
};

// A library to release from processes; base and size are filled by the
// process scan where the library is found. Wide enough for an address in a
// 64-bit process.
struct LibraryRef {
    char* name;
    uint64_t base;
    uint64_t size;
};

enum : uint32_t {
    STORE_LIST = 0x1,
    STORE_FULL_PATH = 0x2,
    STORE_NO_EXT = 0x4,
};

struct ActionRecord {
    char* keyword;
    char* confirm;
    char* message;
    char* destination;
    int32_t setInfected;
    char* storeName;
    uint32_t storeFlags;
    char* parameters;
    PositionSpec start;  // origin 0, offset 0
    PositionSpec end;    // origin 2 (end of file), offset 0
    uint32_t length;
    PatternRecord* patches;  // in document order
    LibraryRef* library;
    int32_t keywordEnded;  // the word's end was met: later text is dropped
};

// A new record with the defaults, or null when memory ran out.
ActionRecord* NewActionRecord();
// Releases the record with everything it holds; null is allowed.
void FreeActionRecord(ActionRecord* action);
LibraryRef* NewLibraryRef(char* name);  // takes the name
void FreeLibraryRef(LibraryRef* library);

// The action slot of the record an ACTION element belongs to: the current
// PROCESS/THREAD inside MEMORY, else the current FILE inside DISK, else,
// inside REGISTRY, the current KEY's newest VALUE or, without one, the KEY.
// Null when no such record is open.
ActionRecord** CurrentActionSlot(ParseContext* context);
