// Changing an open file through ntdll: its attributes, and marking it for
// deletion, by handle rather than by a path that may lead elsewhere by the
// time it is used. Only the NT family has these; they are looked up at run
// time.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "disk/ntdll_listing_win.h"

// FILE_BASIC_INFORMATION: the same in both bitnesses. A time of 0 leaves
// that time as it is.
struct NtBasicInformation {
    int64_t creationTime;
    int64_t lastAccessTime;
    int64_t lastWriteTime;
    int64_t changeTime;
    uint32_t fileAttributes;
};
static_assert(offsetof(NtBasicInformation, lastWriteTime) == 0x10, "LastWriteTime");
static_assert(offsetof(NtBasicInformation, fileAttributes) == 0x20, "FileAttributes");
static_assert(sizeof(NtBasicInformation) == 0x28, "FILE_BASIC_INFORMATION");

// FILE_DISPOSITION_INFORMATION: one BOOLEAN.
struct NtDispositionInformation {
    uint8_t deleteFile;
};
static_assert(sizeof(NtDispositionInformation) == 1, "FILE_DISPOSITION_INFORMATION");

enum : uint32_t { NT_FILE_BASIC_INFORMATION = 4, NT_FILE_DISPOSITION_INFORMATION = 13 };

typedef LONG(WINAPI* NtSetInformationFileFunction)(HANDLE file, IoStatusBlock* io, void* information, ULONG length,
                                                   ULONG informationClass);
typedef ULONG(WINAPI* RtlNtStatusToDosErrorFunction)(LONG status);

struct NtFileInformationFunctions {
    NtSetInformationFileFunction setInformationFile;
    RtlNtStatusToDosErrorFunction statusToDosError;
};

// Looked up once; null on the 9x family or where ntdll lacks either.
const NtFileInformationFunctions* NtFileInformation();

// Sets one class of information on the open file. On failure the thread's
// last error is the Windows error of the status.
bool SetFileInformation(HANDLE file, ULONG informationClass, void* information, ULONG length);
