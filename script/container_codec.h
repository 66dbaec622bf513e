// The stored form of a data file: a token stream of literals, escaped
// literals and back-copies, scrambled with a key that rotates left one bit
// per byte. Shared by the program's reader and the data-file tool.
#pragma once
#include <stdint.h>

// The key of the first stored byte. Any non-zero byte works; the reader and
// every data file written by the tool must agree on it.
enum : uint8_t { DATA_SEED = 0xA7 };

enum {
    TOKEN_ESCAPE = 0x80,         // next byte is a literal 0x00..0xFF
    TOKEN_MAX_COPY_LENGTH = 31,  // bits 2..6 of the first byte
    TOKEN_MAX_DISTANCE = 1023,   // 10 bits
};

inline uint32_t NextDataKey(uint32_t key) {
    return ((key << 1) | (key >> 7)) & 0xFFu;
}
