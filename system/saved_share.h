// A removed network share as it is saved in the registry for a later
// restore-only run, and the numbering of the saved records.
#pragma once
#include <stddef.h>
#include <stdint.h>

// One record. Texts are zero-terminated bytes: 8-bit on the 9x family,
// UTF-16LE on the NT family; each length counts the terminator. When saving,
// the texts borrow the enumeration buffer's; when read back they are heap
// copies freed by FreeSavedShare.
struct SavedShare {
    unsigned char* name;
    uint32_t nameLength;
    uint32_t type;
    uint32_t flags;  // 9x share flags, 0 on NT
    unsigned char* remark;
    uint32_t remarkLength;
    uint32_t permissions;  // NT only
    uint32_t maxUses;      // NT only
    uint32_t currentUses;  // not saved
    unsigned char* path;
    uint32_t pathLength;
    unsigned char* readOnlyPassword;  // 9x only
    uint32_t readOnlyPasswordLength;
    unsigned char* fullPassword;
    uint32_t fullPasswordLength;
    // NT only: the share's self-relative security descriptor, so that a
    // restricted share comes back as restricted. Records of older runs lack
    // it; their shares come back without one.
    unsigned char* security;
    uint32_t securityLength;
};

enum {
    MAX_SAVED_SHARES = 1000,
    SHARE_SUBKEY_NAME_SIZE = 9,    // "Share999" and its terminator
    SHARE_SUBKEY_PATH_SIZE = 26,   // "SOFTWARE\Mendrix\Share999" and its terminator
    SHARE_VALUE_COUNT = 10,
};

// Share types that a removal takes.
enum : uint32_t { SHARE_TYPE_DISK = 0, SHARE_TYPE_SPECIAL = 0x80000000u };

// Registry value types, as the registry numbers them.
enum : uint32_t { SHARE_VALUE_BINARY = 3, SHARE_VALUE_DWORD = 4 };

extern const char kSharesKey[];  // "SOFTWARE\Mendrix"

// Save numbers, one per family, counted for the life of the process.
extern uint32_t g_savedSharesNt;
extern uint32_t g_savedShares9x;

// Takes the next save number from a family's counter. Answers false once
// 1000 records have been saved in this process.
bool TakeSaveNumber(uint32_t* counter, uint32_t* number);
// Moves a family's counter past the highest record already saved (-1 for
// none), so that records no restoration has taken yet are never written
// over.
void CountPastRecords(uint32_t* counter, int32_t highest);
// The save number of a record's subkey name ("Share042" is 42); false for
// any other name.
bool ParseShareSubkey(const char* name, uint32_t* number);
// "Share" and the number in three digits.
void FormatShareSubkey(char* out, size_t size, uint32_t number);
// The same under kSharesKey: "SOFTWARE\Mendrix\ShareNNN".
void FormatShareSubkeyPath(char* out, size_t size, uint32_t number);

// One registry value of a saved share.
struct ShareValue {
    const char* name;
    uint32_t type;
    const void* data;  // null with size 0 for an empty value
    uint32_t size;
};

// The values to write for a record, in the order they are written. Texts
// whose pointer is null are left out, except the remark, which is written
// empty; the security descriptor, added after the values of older records,
// is written only when there is one. Answers the number of values filled in.
int PlanShareValues(const SavedShare* share, ShareValue out[SHARE_VALUE_COUNT]);

// Frees the texts of a record read back and clears their pointers.
void FreeSavedShare(SavedShare* share);

// The buffer a value of the given size is read into: with zero bytes behind
// it that end it as text of either width, whatever its length, odd ones
// included.
uint32_t SavedTextBufferSize(uint32_t size);

// Whether a saved security descriptor is a self-relative one whose owner,
// group and access lists all lie within its length: only then may the
// system read it.
bool SavedDescriptorFits(const unsigned char* descriptor, uint32_t length);

// Whether a UTF-16 share name is ADMIN$ in any letter case: that share is
// created again without a path.
bool IsAdminShareName(const uint16_t* name);
