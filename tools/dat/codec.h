// The data-file codec on the tool side: whole-buffer compress + scramble and
// its inverse. The program's streaming reader is script/data_reader.h.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// Smallest token stream the format allows for `text`, scrambled.
std::vector<uint8_t> EncodeData(const std::vector<uint8_t>& text);

// Unscrambles and decodes a whole stored file. On failure answers false,
// leaves in *out what was decoded before the fault and, when error is not
// null, says what is wrong, e.g. "at stored byte 17: data ends inside an
// escaped literal".
bool DecodeData(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out, std::string* error);
