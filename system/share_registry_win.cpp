#include <stdlib.h>
#include <string.h>

#include "report/message.h"
#include "system/shares_win.h"

// A record half written would come back as a share other than the one
// removed: one that cannot be written whole is taken out again.
bool SaveShare(HKEY parent, const SavedShare* share, uint32_t number) {
    char name[SHARE_SUBKEY_NAME_SIZE];
    FormatShareSubkey(name, sizeof name, number);
    HKEY subkey = nullptr;
    bool saved = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &subkey,
                                 nullptr) == ERROR_SUCCESS;
    ShareValue values[SHARE_VALUE_COUNT];
    int count = saved ? PlanShareValues(share, values) : 0;
    for (int i = 0; i < count && saved; ++i)
        saved = RegSetValueExA(subkey, values[i].name, 0, values[i].type, static_cast<const BYTE*>(values[i].data),
                               values[i].size) == ERROR_SUCCESS;
    // On disk before the share it describes is deleted.
    if (saved) saved = RegFlushKey(subkey) == ERROR_SUCCESS;
    if (subkey) RegCloseKey(subkey);
    if (!saved) {
        if (subkey) RegDeleteKeyA(parent, name);
        ReportMessage(MSG_WARNING, "Could not store share in registry\r\n");
    }
    return saved;
}

bool StoreShare(HKEY parent, const SavedShare* share, uint32_t* counter, uint32_t* number) {
    if (parent && TakeSaveNumber(counter, number)) return SaveShare(parent, share, *number);
    ReportMessage(MSG_WARNING, "Could not store share in registry\r\n");
    return false;
}

void ForgetShare(HKEY parent, uint32_t number, uint32_t* counter) {
    char name[SHARE_SUBKEY_NAME_SIZE];
    FormatShareSubkey(name, sizeof name, number);
    if (RegDeleteKeyA(parent, name) == ERROR_SUCCESS && *counter == number + 1) --*counter;
    RegFlushKey(parent);
}

void CountPastSavedShares(HKEY parent, uint32_t* counter) {
    int32_t highest = -1;
    char name[256];
    for (DWORD i = 0; parent; ++i) {
        DWORD size = sizeof name;
        LONG result = RegEnumKeyExA(parent, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        uint32_t number;
        if (result == ERROR_SUCCESS && ParseShareSubkey(name, &number) && static_cast<int32_t>(number) > highest)
            highest = static_cast<int32_t>(number);
    }
    CountPastRecords(counter, highest);
}

static bool ReadNumber(HKEY subkey, const char* name, uint32_t* out) {
    DWORD value = 0, size = sizeof value;
    if (RegQueryValueExA(subkey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof value)
        return false;
    *out = value;
    return true;
}

enum TextRead { TEXT_READ, TEXT_MISSING, TEXT_FAILED };

// No value of a saved share comes near this.
static const DWORD kLargestValue = 16 * 1024 * 1024;

static TextRead ReadText(HKEY subkey, const char* name, unsigned char** out, uint32_t* length) {
    DWORD size = 0;
    if (RegQueryValueExA(subkey, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return TEXT_MISSING;
    if (size > kLargestValue) return TEXT_FAILED;
    unsigned char* bytes = static_cast<unsigned char*>(calloc(SavedTextBufferSize(size), 1));
    if (!bytes) return TEXT_FAILED;
    DWORD got = size;
    if (RegQueryValueExA(subkey, name, nullptr, nullptr, bytes, &got) != ERROR_SUCCESS) {
        free(bytes);
        return TEXT_FAILED;
    }
    *out = bytes;
    *length = got;
    return TEXT_READ;
}

bool ReadSavedShare(SavedShare* share, HKEY subkey) {
    *share = SavedShare{};
    if (!ReadNumber(subkey, "max_uses", &share->maxUses) || !ReadNumber(subkey, "permissions", &share->permissions) ||
        !ReadNumber(subkey, "type", &share->type) || !ReadNumber(subkey, "flags", &share->flags))
        return false;
    if (ReadText(subkey, "name", &share->name, &share->nameLength) != TEXT_READ) return false;
    if (ReadText(subkey, "path", &share->path, &share->pathLength) != TEXT_READ) return false;
    if (ReadText(subkey, "passwordro", &share->readOnlyPassword, &share->readOnlyPasswordLength) == TEXT_FAILED)
        return false;
    if (ReadText(subkey, "passwordrw", &share->fullPassword, &share->fullPasswordLength) == TEXT_FAILED) return false;
    if (ReadText(subkey, "remark", &share->remark, &share->remarkLength) == TEXT_FAILED) return false;
    if (ReadText(subkey, "security", &share->security, &share->securityLength) == TEXT_FAILED) return false;
    return true;
}
