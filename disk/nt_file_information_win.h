// Files through ntdll: opening one relative to a directory handle, changing
// its attributes and marking it for deletion, by handle rather than by a
// path that may lead elsewhere by the time it is used. Only the NT family
// has these; they are looked up at run time.
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

// UNICODE_STRING and OBJECT_ATTRIBUTES: names an object to open, here a file
// relative to a directory handle. Pointer-sized fields, laid out as this
// build's ntdll expects.
struct NtCountedName {
    uint16_t length;  // in bytes, no terminator
    uint16_t maximumLength;
    const uint16_t* buffer;
};
struct NtObjectAttributes {
    ULONG length;
    HANDLE rootDirectory;
    NtCountedName* objectName;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};
#ifdef _WIN64
static_assert(offsetof(NtCountedName, buffer) == 0x8, "UNICODE_STRING Buffer, 64-bit");
static_assert(offsetof(NtObjectAttributes, rootDirectory) == 0x8, "RootDirectory, 64-bit");
static_assert(offsetof(NtObjectAttributes, attributes) == 0x18, "Attributes, 64-bit");
static_assert(sizeof(NtObjectAttributes) == 0x30, "OBJECT_ATTRIBUTES, 64-bit");
#else
static_assert(offsetof(NtCountedName, buffer) == 0x4, "UNICODE_STRING Buffer, 32-bit");
static_assert(offsetof(NtObjectAttributes, rootDirectory) == 0x4, "RootDirectory, 32-bit");
static_assert(offsetof(NtObjectAttributes, attributes) == 0xC, "Attributes, 32-bit");
static_assert(sizeof(NtObjectAttributes) == 0x18, "OBJECT_ATTRIBUTES, 32-bit");
#endif

enum : uint32_t {
    NT_OBJ_CASE_INSENSITIVE = 0x40,
    NT_FILE_OPEN = 1,  // disposition: the file must exist
    // create options
    NT_FILE_DIRECTORY_FILE = 0x1,
    NT_FILE_SYNCHRONOUS_IO_NONALERT = 0x20,
    NT_FILE_NON_DIRECTORY_FILE = 0x40,
    NT_FILE_OPEN_FOR_BACKUP_INTENT = 0x4000,
    NT_FILE_OPEN_REPARSE_POINT = 0x200000,  // 2000 and later
};

typedef LONG(WINAPI* NtCreateFileFunction)(HANDLE* file, ACCESS_MASK access, NtObjectAttributes* attributes,
                                           IoStatusBlock* io, LARGE_INTEGER* allocationSize, ULONG fileAttributes,
                                           ULONG share, ULONG disposition, ULONG options, void* eaBuffer,
                                           ULONG eaLength);

struct NtFileInformationFunctions {
    NtSetInformationFileFunction setInformationFile;
    RtlNtStatusToDosErrorFunction statusToDosError;
    NtCreateFileFunction createFile;
};

// Looked up once; null on the 9x family or where ntdll lacks any of them.
const NtFileInformationFunctions* NtFileInformation();

// Sets one class of information on the open file. On failure the thread's
// last error is the Windows error of the status.
bool SetFileInformation(HANDLE file, ULONG informationClass, void* information, ULONG length);

// Sets the thread's last error to the Windows error of an NTSTATUS.
void SetLastErrorOfStatus(LONG status);
