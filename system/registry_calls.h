// The registry as the REGISTRY work sees it: a small table of calls that the
// Win32 programs fill with the advapi32 functions and tests with a registry
// of their own. Results are Win32 error codes, 0 for success.
#pragma once
#include <stdint.h>

typedef void* RegistryKey;

enum : int32_t {
    REGISTRY_OK = 0,
    REGISTRY_NOT_FOUND = 2,    // the key or value is not there
    REGISTRY_MORE_DATA = 234,  // the name or data did not fit the buffer
};

// Value types the work tells apart; every other type is read as text.
enum : uint32_t {
    REGISTRY_TEXT = 1,   // REG_SZ
    REGISTRY_EXPAND_TEXT = 2,  // REG_EXPAND_SZ: text with %variables% its readers expand
    REGISTRY_DWORD = 4,  // REG_DWORD, little-endian
};

struct RegistryCalls {
    // root: the predefined key's 32-bit handle value; path may be empty.
    int32_t (*openKey)(uint32_t root, const char* path, RegistryKey* key);
    void (*closeKey)(RegistryKey key);
    int32_t (*deleteKey)(uint32_t root, const char* path);
    // name holds *nameSize bytes; on success *nameSize is the name's length.
    int32_t (*enumValueName)(RegistryKey key, uint32_t index, char* name, uint32_t* nameSize);
    // With null data only the type and size are asked for; data holds *size
    // bytes, and *size is the data's size afterwards.
    int32_t (*queryValue)(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);
    int32_t (*setValue)(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size);
    int32_t (*deleteValue)(RegistryKey key, const char* name);
    void (*flushKey)(RegistryKey key);
};
