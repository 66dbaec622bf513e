#include "script/hex.h"

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ParseHex(const char* text, int byteCount, uint32_t* out) {
    uint32_t value = 0;
    int digits = 0;
    const int limit = 2 * byteCount;
    while (digits < limit && text[digits] != '\0') {
        const int d = HexDigitValue(text[digits]);
        if (d < 0) {
            if (digits == 0) return -1;
            break;
        }
        value = value * 16 + static_cast<uint32_t>(d);
        ++digits;
    }
    *out = value;
    return digits;
}
