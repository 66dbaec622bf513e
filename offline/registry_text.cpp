#include "offline/registry_text.h"

#include <string.h>

bool ReadRegistryText(const RegistryCalls* registry, uint32_t root, const std::string& key, const char* name,
                      uint32_t* type, std::string* text) {
    RegistryKey opened;
    if (registry->openKey(root, key.c_str(), &opened) != REGISTRY_OK) return false;
    char data[1024];
    uint32_t size = sizeof data - 1;
    *type = 0;
    int32_t status = registry->queryValue(opened, name, type, reinterpret_cast<uint8_t*>(data), &size);
    registry->closeKey(opened);
    if (status != REGISTRY_OK) return false;
    data[size] = 0;
    text->assign(data, strnlen(data, size));
    return true;
}

bool IsTextType(uint32_t type) { return type == REGISTRY_TEXT || type == REGISTRY_EXPAND_TEXT; }
