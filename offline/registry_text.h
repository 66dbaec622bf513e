// A value of the installation's registry read as the profile functions and
// the shell read one: into a buffer of 1024 bytes, up to its first zero.
#pragma once
#include <stdint.h>

#include <string>

#include "system/registry_calls.h"

// The key's value of that name (empty: its default value) and its type.
// False when the key or value is missing or the value does not fit.
bool ReadRegistryText(const RegistryCalls* registry, uint32_t root, const std::string& key, const char* name,
                      uint32_t* type, std::string* text);
// True for the types whose data is text: REG_SZ and REG_EXPAND_SZ.
bool IsTextType(uint32_t type);
