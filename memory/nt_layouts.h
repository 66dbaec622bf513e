// Structures read from ntdll results and from other processes' memory, once
// per bitness with fixed-width fields, so either build can read either kind
// of process. Every offset the cleaning code relies on is pinned below.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Counted UTF-16 string.
struct UnicodeString32 {
    uint16_t length;
    uint16_t maximumLength;
    uint32_t buffer;
};
struct UnicodeString64 {
    uint16_t length;
    uint16_t maximumLength;
    uint32_t pad;
    uint64_t buffer;
};

// PROCESS_BASIC_INFORMATION (ZwQueryInformationProcess class 0).
struct ProcessBasicInfo32 {
    uint32_t exitStatus;
    uint32_t pebBaseAddress;
    uint32_t affinityMask;
    uint32_t basePriority;
    uint32_t uniqueProcessId;
    uint32_t inheritedFromUniqueProcessId;
};
struct ProcessBasicInfo64 {
    uint32_t exitStatus;
    uint32_t pad;
    uint64_t pebBaseAddress;
    uint64_t affinityMask;
    uint32_t basePriority;
    uint32_t pad2;
    uint64_t uniqueProcessId;
    uint64_t inheritedFromUniqueProcessId;
};
static_assert(sizeof(ProcessBasicInfo32) == 24, "PROCESS_BASIC_INFORMATION (32-bit) is 24 bytes");
static_assert(offsetof(ProcessBasicInfo32, pebBaseAddress) == 4, "PebBaseAddress is the second word");
static_assert(offsetof(ProcessBasicInfo64, pebBaseAddress) == 8, "PebBaseAddress (64-bit)");
static_assert(sizeof(ProcessBasicInfo64) == 48, "PROCESS_BASIC_INFORMATION (64-bit) is 48 bytes");

// The head of the process environment block, up to the loader data pointer.
struct Peb32 {
    uint8_t flags[4];
    uint32_t mutant;
    uint32_t imageBaseAddress;
    uint32_t ldrData;
};
struct Peb64 {
    uint8_t flags[8];
    uint64_t mutant;
    uint64_t imageBaseAddress;
    uint64_t ldrData;
};
static_assert(offsetof(Peb32, ldrData) == 0x0C, "loader data pointer of the 32-bit PEB");
static_assert(offsetof(Peb64, ldrData) == 0x18, "loader data pointer of the 64-bit PEB");

// The head of the loader data, up to the in-memory-order module list.
struct LdrData32 {
    uint32_t length;
    uint32_t initialized;
    uint32_t ssHandle;
    uint32_t inLoadOrder[2];
    uint32_t inMemoryOrder[2];
};
struct LdrData64 {
    uint32_t length;
    uint32_t initialized;
    uint64_t ssHandle;
    uint64_t inLoadOrder[2];
    uint64_t inMemoryOrder[2];
};
static_assert(offsetof(LdrData32, inMemoryOrder) == 0x14, "in-memory-order list head (32-bit)");
static_assert(offsetof(LdrData64, inMemoryOrder) == 0x20, "in-memory-order list head (64-bit)");

// A loader entry up to BaseDllName. Read from 8 (16) bytes before its
// in-memory-order link, where the entry begins.
struct LdrEntry32 {
    uint32_t inLoadOrder[2];
    uint32_t inMemoryOrder[2];
    uint32_t inInitializationOrder[2];
    uint32_t dllBase;
    uint32_t entryPoint;
    uint32_t sizeOfImage;
    UnicodeString32 fullDllName;
    UnicodeString32 baseDllName;
    uint32_t rest[5];
};
struct LdrEntry64 {
    uint64_t inLoadOrder[2];
    uint64_t inMemoryOrder[2];
    uint64_t inInitializationOrder[2];
    uint64_t dllBase;
    uint64_t entryPoint;
    uint64_t sizeOfImage;
    UnicodeString64 fullDllName;
    UnicodeString64 baseDllName;
};
static_assert(sizeof(LdrEntry32) == 72, "72 bytes of a 32-bit loader entry are read");
static_assert(offsetof(LdrEntry32, inMemoryOrder) == 8, "in-memory-order link (32-bit)");
static_assert(offsetof(LdrEntry32, dllBase) == 24, "DllBase (32-bit)");
static_assert(offsetof(LdrEntry32, fullDllName) == 36, "FullDllName (32-bit)");
static_assert(offsetof(LdrEntry32, baseDllName) == 44, "BaseDllName (32-bit)");
static_assert(offsetof(LdrEntry64, inMemoryOrder) == 16, "in-memory-order link (64-bit)");
static_assert(offsetof(LdrEntry64, dllBase) == 48, "DllBase (64-bit)");
static_assert(offsetof(LdrEntry64, fullDllName) == 72, "FullDllName (64-bit)");
static_assert(offsetof(LdrEntry64, baseDllName) == 88, "BaseDllName (64-bit)");

// SystemProcessInformation (class 5): a chain of process entries, each
// followed by its thread entries. Only the fields used are named. The
// layout is that of the calling program's own bitness.
struct SystemThread32 {
    uint8_t times[24];
    uint32_t waitTime;
    uint32_t startAddress;
    uint32_t uniqueProcess;
    uint32_t uniqueThread;
    uint8_t rest[24];
};
struct SystemThread64 {
    uint8_t times[24];
    uint32_t waitTime;
    uint32_t pad;
    uint64_t startAddress;
    uint64_t uniqueProcess;
    uint64_t uniqueThread;
    uint8_t rest[24];
};
static_assert(sizeof(SystemThread32) == 64, "32-bit thread entries are 64 bytes");
static_assert(offsetof(SystemThread32, uniqueThread) == 0x24, "ClientId.UniqueThread (32-bit)");
static_assert(sizeof(SystemThread64) == 80, "64-bit thread entries are 80 bytes");
static_assert(offsetof(SystemThread64, uniqueThread) == 0x30, "ClientId.UniqueThread (64-bit)");

struct SystemProcess32 {
    uint32_t nextEntryOffset;
    uint32_t numberOfThreads;
    uint8_t times[48];
    UnicodeString32 imageName;
    uint32_t basePriority;
    uint32_t uniqueProcessId;
};
struct SystemProcess64 {
    uint32_t nextEntryOffset;
    uint32_t numberOfThreads;
    uint8_t times[48];
    UnicodeString64 imageName;
    uint32_t basePriority;
    uint32_t pad;
    uint64_t uniqueProcessId;
};
static_assert(offsetof(SystemProcess32, numberOfThreads) == 4, "NumberOfThreads");
static_assert(offsetof(SystemProcess32, uniqueProcessId) == 0x44, "UniqueProcessId (32-bit)");
static_assert(offsetof(SystemProcess64, uniqueProcessId) == 0x50, "UniqueProcessId (64-bit)");

// Where the thread entries begin after a process entry.
enum : uint32_t {
    THREADS_AT_NT4_32 = 0x88,
    THREADS_AT_32 = 0xB8,   // Windows 2000 and later
    THREADS_AT_64 = 0x100,
};

// The parameter block of the remote routines. The 32-bit block is the one
// every 32-bit routine reads; the 64-bit one holds the same fields at
// pointer width.
enum { REMOTE_NAME_SIZE = 260 };
struct RemoteBlock32 {
    uint32_t status;
    uint32_t getModuleHandle;
    uint32_t freeLibrary;
    uint32_t exitProcess;
    char libraryName[REMOTE_NAME_SIZE];
};
struct RemoteBlock64 {
    uint32_t status;
    uint32_t pad;
    uint64_t getModuleHandle;
    uint64_t freeLibrary;
    uint64_t exitProcess;
    char libraryName[REMOTE_NAME_SIZE];
    uint32_t pad2;
};
static_assert(sizeof(RemoteBlock32) == 276, "the 32-bit parameter block is 276 bytes");
static_assert(offsetof(RemoteBlock32, getModuleHandle) == 4, "GetModuleHandleA at 4");
static_assert(offsetof(RemoteBlock32, freeLibrary) == 8, "FreeLibrary at 8");
static_assert(offsetof(RemoteBlock32, exitProcess) == 12, "ExitProcess at 12");
static_assert(offsetof(RemoteBlock32, libraryName) == 16, "library name at 16");
static_assert(offsetof(RemoteBlock64, getModuleHandle) == 8, "GetModuleHandleA at 8 (64-bit)");
static_assert(offsetof(RemoteBlock64, freeLibrary) == 16, "FreeLibrary at 16 (64-bit)");
static_assert(offsetof(RemoteBlock64, exitProcess) == 24, "ExitProcess at 24 (64-bit)");
static_assert(offsetof(RemoteBlock64, libraryName) == 32, "library name at 32 (64-bit)");

#if UINTPTR_MAX > 0xFFFFFFFFu
typedef SystemProcess64 SystemProcess;
typedef SystemThread64 SystemThread;
typedef RemoteBlock64 RemoteBlock;
#else
typedef SystemProcess32 SystemProcess;
typedef SystemThread32 SystemThread;
typedef RemoteBlock32 RemoteBlock;
#endif
