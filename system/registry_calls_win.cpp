#include <windows.h>

#include "system/system_calls_win.h"

namespace {

// The predefined keys are 32-bit values that the 64-bit headers widen with
// their sign, so the root is widened the same way.
HKEY RootKey(uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

HKEY Key(RegistryKey key) { return static_cast<HKEY>(key); }

// No KEY_WOW64_* flag: each build works on the registry view it is given,
// the 64-bit build the 64-bit one, the 32-bit build under WOW64 the 32-bit one.
int32_t OpenKey(uint32_t root, const char* path, RegistryKey* key) {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(RootKey(root), path, 0, KEY_ALL_ACCESS, &opened);
    *key = opened;
    return result;
}

void CloseKey(RegistryKey key) { RegCloseKey(Key(key)); }

int32_t DeleteKey(uint32_t root, const char* path) { return RegDeleteKeyA(RootKey(root), path); }

int32_t EnumValueName(RegistryKey key, uint32_t index, char* name, uint32_t* nameSize) {
    DWORD size = *nameSize;
    LONG result = RegEnumValueA(Key(key), index, name, &size, nullptr, nullptr, nullptr, nullptr);
    *nameSize = size;
    return result;
}

int32_t QueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = *size;
    LONG result = RegQueryValueExA(Key(key), name, nullptr, &valueType, data, &valueSize);
    *type = valueType;
    *size = valueSize;
    return result;
}

int32_t SetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
    return RegSetValueExA(Key(key), name, 0, type, data, size);
}

int32_t DeleteValue(RegistryKey key, const char* name) { return RegDeleteValueA(Key(key), name); }

void FlushKey(RegistryKey key) { RegFlushKey(Key(key)); }

const RegistryCalls kCalls = {OpenKey, CloseKey, DeleteKey, EnumValueName, QueryValue, SetValue, DeleteValue, FlushKey};

}  // namespace

const RegistryCalls* Win32RegistryCalls() { return &kCalls; }
