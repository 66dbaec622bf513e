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
    return n;
}

void FreeSavedShare(SavedShare* share) {
    unsigned char** texts[] = {&share->name, &share->remark, &share->path, &share->readOnlyPassword,
                               &share->fullPassword};
    for (unsigned char** t : texts) {
        free(*t);
        *t = nullptr;
    }
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
