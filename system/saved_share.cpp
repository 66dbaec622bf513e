#include "system/saved_share.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kSharesKey[] = "SOFTWARE\\Mendrix";

uint32_t g_savedSharesNt = 0;
uint32_t g_savedShares9x = 0;

bool TakeSaveNumber(uint32_t* counter, uint32_t* number) {
    if (*counter >= MAX_SAVED_SHARES) return false;
    *number = (*counter)++;
    return true;
}

void CountPastRecords(uint32_t* counter, int32_t highest) {
    if (highest >= 0 && *counter <= static_cast<uint32_t>(highest)) *counter = static_cast<uint32_t>(highest) + 1;
}

bool ParseShareSubkey(const char* name, uint32_t* number) {
    if (strncmp(name, "Share", 5) != 0 || strlen(name) != 8) return false;
    uint32_t value = 0;
    for (int i = 5; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        value = value * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    *number = value;
    return true;
}

void FormatShareSubkey(char* out, size_t size, uint32_t number) {
    snprintf(out, size, "Share%03u", static_cast<unsigned>(number % MAX_SAVED_SHARES));
}

void FormatShareSubkeyPath(char* out, size_t size, uint32_t number) {
    snprintf(out, size, "%s\\Share%03u", kSharesKey, static_cast<unsigned>(number % MAX_SAVED_SHARES));
}

int PlanShareValues(const SavedShare* share, ShareValue out[SHARE_VALUE_COUNT]) {
    int n = 0;
    if (share->name) out[n++] = {"name", SHARE_VALUE_BINARY, share->name, share->nameLength};
    out[n++] = {"type", SHARE_VALUE_DWORD, &share->type, 4};
    out[n++] = {"flags", SHARE_VALUE_DWORD, &share->flags, 4};
    out[n++] = {"permissions", SHARE_VALUE_DWORD, &share->permissions, 4};
    out[n++] = {"max_uses", SHARE_VALUE_DWORD, &share->maxUses, 4};
    if (share->remark)
        out[n++] = {"remark", SHARE_VALUE_BINARY, share->remark, share->remarkLength};
    else
        out[n++] = {"remark", SHARE_VALUE_BINARY, nullptr, 0};
    if (share->path) out[n++] = {"path", SHARE_VALUE_BINARY, share->path, share->pathLength};
    if (share->readOnlyPassword)
        out[n++] = {"passwordro", SHARE_VALUE_BINARY, share->readOnlyPassword, share->readOnlyPasswordLength};
    if (share->fullPassword)
        out[n++] = {"passwordrw", SHARE_VALUE_BINARY, share->fullPassword, share->fullPasswordLength};
    if (share->security) out[n++] = {"security", SHARE_VALUE_BINARY, share->security, share->securityLength};
    return n;
}

void FreeSavedShare(SavedShare* share) {
    unsigned char** texts[] = {&share->name,         &share->remark,       &share->path,
                               &share->readOnlyPassword, &share->fullPassword, &share->security};
    for (unsigned char** t : texts) {
        free(*t);
        *t = nullptr;
    }
}

uint32_t SavedTextBufferSize(uint32_t size) {
    // Rounded up to a whole UTF-16 unit, then one unit of zeros: an odd
    // length would otherwise leave the last unit's high byte outside.
    return (size + 1) / 2 * 2 + 2;
}

static uint32_t Read32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

bool SavedDescriptorFits(const unsigned char* sd, uint32_t length) {
    // Revision, padding, control (self-relative: 0x8000), then the offsets
    // of the owner, the group, the system and the access lists.
    if (!sd || length < 20 || sd[0] != 1 || !(sd[3] & 0x80)) return false;
    for (int part = 0; part < 4; ++part) {
        uint32_t at = Read32(sd + 4 + 4 * part);
        if (at == 0) continue;
        if (at < 20 || at > length - 8) return false;
        // A SID: eight bytes and four a sub-authority; a list: its own size.
        uint32_t size = part < 2 ? 8u + 4u * sd[at + 1] : static_cast<uint32_t>(sd[at + 2] | sd[at + 3] << 8);
        if (size < 8 || size > length - at) return false;
    }
    return true;
}

bool IsAdminShareName(const uint16_t* name) {
    static const char kAdmin[] = "admin$";
    for (size_t i = 0; i < sizeof kAdmin; ++i) {
        uint16_t c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<uint16_t>(c + ('a' - 'A'));
        if (c != static_cast<unsigned char>(kAdmin[i])) return false;
    }
    return true;
}
