// The part of ntdll that lists a directory. The 9x family has none of it,
// so it is looked up at run time, and only on the NT family.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

// FILE_DIRECTORY_INFORMATION: one entry of a listing. The layout is the same
// in both bitnesses; entries follow each other at nextEntryOffset (0 on the
// last), each aligned to 8 bytes.
struct NtDirectoryEntry {
    uint32_t nextEntryOffset;
    uint32_t fileIndex;
    int64_t creationTime;
    int64_t lastAccessTime;
    int64_t lastWriteTime;
    int64_t changeTime;
    int64_t endOfFile;
    int64_t allocationSize;
    uint32_t fileAttributes;
    uint32_t fileNameLength;  // in bytes, no terminator
    uint16_t fileName[1];     // UTF-16
};
static_assert(offsetof(NtDirectoryEntry, nextEntryOffset) == 0x00, "NextEntryOffset");
static_assert(offsetof(NtDirectoryEntry, fileIndex) == 0x04, "FileIndex");
static_assert(offsetof(NtDirectoryEntry, creationTime) == 0x08, "CreationTime");
static_assert(offsetof(NtDirectoryEntry, lastAccessTime) == 0x10, "LastAccessTime");
static_assert(offsetof(NtDirectoryEntry, lastWriteTime) == 0x18, "LastWriteTime");
static_assert(offsetof(NtDirectoryEntry, changeTime) == 0x20, "ChangeTime");
static_assert(offsetof(NtDirectoryEntry, endOfFile) == 0x28, "EndOfFile");
static_assert(offsetof(NtDirectoryEntry, allocationSize) == 0x30, "AllocationSize");
static_assert(offsetof(NtDirectoryEntry, fileAttributes) == 0x38, "FileAttributes");
static_assert(offsetof(NtDirectoryEntry, fileNameLength) == 0x3C, "FileNameLength");
static_assert(offsetof(NtDirectoryEntry, fileName) == 0x40, "FileName");

// IO_STATUS_BLOCK: a status (sharing its slot with a pointer) and a count,
// each as wide as a pointer.
struct IoStatusBlock32 {
    int32_t status;
    uint32_t information;
};
static_assert(offsetof(IoStatusBlock32, status) == 0x0, "Status, 32-bit");
static_assert(offsetof(IoStatusBlock32, information) == 0x4, "Information, 32-bit");
static_assert(sizeof(IoStatusBlock32) == 0x8, "IO_STATUS_BLOCK, 32-bit");

struct IoStatusBlock64 {
    int32_t status;
    uint32_t pointerHigh;  // the upper half of the pointer the status shares with
    uint64_t information;
};
static_assert(offsetof(IoStatusBlock64, status) == 0x0, "Status, 64-bit");
static_assert(offsetof(IoStatusBlock64, information) == 0x8, "Information, 64-bit");
static_assert(sizeof(IoStatusBlock64) == 0x10, "IO_STATUS_BLOCK, 64-bit");

#ifdef _WIN64
typedef IoStatusBlock64 IoStatusBlock;
#else
typedef IoStatusBlock32 IoStatusBlock;
#endif
static_assert(sizeof(IoStatusBlock) == 2 * sizeof(void*), "IO_STATUS_BLOCK of this bitness");

enum : uint32_t { NT_FILE_DIRECTORY_INFORMATION = 1 };
// Status values a listing ends with: every entry given, or none to give.
enum : uint32_t { NT_STATUS_NO_MORE_FILES = 0x80000006u, NT_STATUS_NO_SUCH_FILE = 0xC000000Fu };

typedef LONG(WINAPI* NtQueryDirectoryFileFunction)(HANDLE file, HANDLE event, void* apcRoutine, void* apcContext,
                                                   IoStatusBlock* io, void* buffer, ULONG length, ULONG infoClass,
                                                   BOOLEAN singleEntry, void* fileMask, BOOLEAN restartScan);
// RtlUnicodeToMultiByteN and RtlUnicodeToOemN: the conversions the find
// functions give their 8-bit names with.
typedef LONG(WINAPI* NtUnicodeTo8BitFunction)(char* out, ULONG outSize, ULONG* written, const uint16_t* in,
                                              ULONG inSize);

typedef BOOL(WINAPI* AreFileApisAnsiFunction)();

struct NtListingFunctions {
    NtQueryDirectoryFileFunction queryDirectoryFile;
    NtUnicodeTo8BitFunction unicodeToAnsi;
    NtUnicodeTo8BitFunction unicodeToOem;
    AreFileApisAnsiFunction areFileApisAnsi;  // kernel32: which of the two the find functions use
};

// The functions, looked up once; null on the 9x family or where ntdll or
// kernel32 lacks any of them.
const NtListingFunctions* NtListing();
