// Value data between the form the hive keeps (text in UTF-16) and the form
// the cleaning work reads and writes (text in the ANSI code page, as the
// registry's ANSI functions give it).
#pragma once
#include <stdint.h>

#include <string>

// Text types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are converted, with the
// ending the ANSI functions give; other types are kept as they are.
std::string AnsiValueData(uint32_t type, const std::string& stored);
std::string StoredValueData(uint32_t type, const std::string& ansi);
