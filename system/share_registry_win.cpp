#include <stdlib.h>
#include <string.h>

#include "report/message.h"
#include "system/shares_win.h"

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
    if (subkey) RegCloseKey(subkey);
    if (!saved) ReportMessage(MSG_WARNING, "Could not store share in registry\r\n");
    return saved;
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

static TextRead ReadText(HKEY subkey, const char* name, unsigned char** out, uint32_t* length) {
    DWORD size = 0;
    if (RegQueryValueExA(subkey, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return TEXT_MISSING;
    unsigned char* bytes = static_cast<unsigned char*>(calloc(size + 2, 1));
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
    return true;
}
