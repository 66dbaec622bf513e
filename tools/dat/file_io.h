// Whole-file reads and all-or-nothing writes for the data-file tool.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// On failure *error says what went wrong with which file, e.g.
// "cannot open 'x.dat': No such file or directory".
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// Writes next to `path` under a temporary name, then renames over `path`, so
// a failure never leaves a partial `path` behind (nor the temporary file).
bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
