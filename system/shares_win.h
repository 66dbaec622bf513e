// Network shares: the open disk shares are removed and saved under
// HKEY_LOCAL_MACHINE\SOFTWARE\Mendrix so that a restore-only run can create
// them again. One routine per Windows family; the share functions of both
// are looked up at run time, since neither family has the other's.
#pragma once
#include <windows.h>
#include <lm.h>
#include <stddef.h>
#include <stdint.h>

#include "system/saved_share.h"

void RemoveSharesNt();
void RemoveShares9x();
void RestoreSharesNt();
void RestoreShares9x();
// The family's removal for a platform code of the run.
void RemoveSharesFor(int32_t platformCode);

// Writes one record as the subkey "ShareNNN" of parent and flushes it to
// disk. Answers false (and reports) when the subkey or a value could not be
// written; what was written of it is taken out again.
bool SaveShare(HKEY parent, const SavedShare* share, uint32_t number);
// Saves a share that is about to be removed under the family's next save
// number: the share is removed only when this answers true. Without the
// parent key or a free number it reports, as SaveShare does, and answers
// false.
bool StoreShare(HKEY parent, const SavedShare* share, uint32_t* counter, uint32_t* number);
// Takes a record out again, its share could not be removed after all, and
// gives its number back to the family's counter.
void ForgetShare(HKEY parent, uint32_t number, uint32_t* counter);
// Moves the family's counter past the records already under parent.
void CountPastSavedShares(HKEY parent, uint32_t* counter);
// Reads one record back from its subkey; the texts are heap copies, each
// with two zero bytes behind the stored bytes, so that a value saved without
// its terminator still ends. Answers false when a value that must be there
// cannot be read.
bool ReadSavedShare(SavedShare* share, HKEY subkey);

// What became of one saved record at restoration.
enum RestoreOutcome { RESTORE_CREATED, RESTORE_EXISTED, RESTORE_FAILED, RESTORE_WOULD };
// Announces and creates the share of one readable record with a name and a
// path; record is the record's key path, for the run report. A report-only
// run only says what it would create.
typedef RestoreOutcome (*CreateSavedShareFn)(SavedShare* share, const char* record);
// Tries every record "SOFTWARE\Mendrix\Share000" to "Share999": a record
// whose share was created or already existed is deleted, any other is kept
// for a later attempt. Ends with the count of shares created.
void RestoreSavedShares(CreateSavedShareFn create);

// The 9x server functions, with the record they exchange at level 50.
#pragma pack(push, 1)
struct ShareInfo50 {
    char netName[13];
    unsigned char type;
    unsigned short flags;
    char* remark;
    char* path;
    char fullPassword[9];
    char readOnlyPassword[9];
};
#pragma pack(pop)
static_assert(offsetof(ShareInfo50, type) == 13, "share_info_50 type");
static_assert(offsetof(ShareInfo50, flags) == 14, "share_info_50 flags");
static_assert(offsetof(ShareInfo50, remark) == 16, "share_info_50 remark");
#if !defined(_WIN64)
static_assert(offsetof(ShareInfo50, fullPassword) == 24, "share_info_50 rw password");
static_assert(offsetof(ShareInfo50, readOnlyPassword) == 33, "share_info_50 ro password");
static_assert(sizeof(ShareInfo50) == 42, "share_info_50 is 42 bytes");
#endif

typedef unsigned(WINAPI* NetShareEnum9xFn)(const char* server, short level, char* buffer, unsigned short size,
                                             unsigned short* read, unsigned short* total);
typedef unsigned(WINAPI* NetShareAdd9xFn)(const char* server, short level, const char* buffer,
                                            unsigned short size);
typedef unsigned(WINAPI* NetShareDel9xFn)(const char* server, const char* name, unsigned short reserved);

struct ServerApi9x {
    NetShareDel9xFn shareDel;
    NetShareEnum9xFn shareEnum;
    NetShareAdd9xFn shareAdd;
};
extern ServerApi9x g_serverApi;

// The NT share functions of netapi32.
typedef NET_API_STATUS(WINAPI* NetShareEnumNtFn)(LPWSTR server, DWORD level, LPBYTE* buffer, DWORD maxLength,
                                                 LPDWORD read, LPDWORD total, LPDWORD resume);
typedef NET_API_STATUS(WINAPI* NetShareDelNtFn)(LPWSTR server, LPWSTR name, DWORD reserved);
typedef NET_API_STATUS(WINAPI* NetShareAddNtFn)(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD parameterError);
typedef NET_API_STATUS(WINAPI* NetApiBufferFreeFn)(LPVOID buffer);

struct NetShareApiNt {
    NetShareEnumNtFn shareEnum;
    NetShareDelNtFn shareDel;
    NetShareAddNtFn shareAdd;
    NetApiBufferFreeFn bufferFree;
};
extern NetShareApiNt g_netShareApi;

// Loads svrapi.dll once and looks up its share functions. Answers 0 or the
// system's error code, after reporting what is missing.
DWORD LoadServerApi();
// The same for the share functions of netapi32.dll.
DWORD LoadNetShareApi();
// Unloads both libraries, if loaded, and forgets their functions. Called at
// the end of every run.
void ReleaseServerApi();
