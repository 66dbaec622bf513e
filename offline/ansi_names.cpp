#include "offline/ansi_names.h"

namespace {

// Code page 1252 from 0x80 to 0x9F; 0 marks the five bytes it leaves unused.
const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t AnsiCodePoint(uint8_t c) { return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c; }

void AppendUtf8(uint32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads one character at *pos; answers false for bytes that are not
// shortest-form UTF-8 of a character outside the surrogates.
bool NextUtf8(const std::string& s, size_t* pos, uint32_t* c) {
    uint8_t b = static_cast<uint8_t>(s[*pos]);
    size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 4;
    if (extra == 4 || *pos + extra >= s.size()) return false;
    uint32_t v = extra == 0 ? b : b & (0x3F >> extra);
    for (size_t i = 1; i <= extra; ++i) {
        uint8_t t = static_cast<uint8_t>(s[*pos + i]);
        if ((t & 0xC0) != 0x80) return false;
        v = (v << 6) | (t & 0x3F);
    }
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (v < kLeast[extra] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    *pos += extra + 1;
    *c = v;
    return true;
}

// Upper case as the system's table gives it, for the letters the code page
// holds; other characters are their own.
uint32_t Upper(uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    switch (c) {
    case 0xFF: return 0x178;
    case 0x161: return 0x160;
    case 0x153: return 0x152;
    case 0x17E: return 0x17D;
    default: return c;
    }
}

}  // namespace

uint16_t WideOfAnsi(uint8_t c) {
    uint32_t w = AnsiCodePoint(c);
    return static_cast<uint16_t>(w ? w : c);
}

bool AnsiOfWide(uint16_t w, char* c) {
    if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) {
        *c = static_cast<char>(w);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] && kHigh[i] == w) {
            *c = static_cast<char>(0x80 + i);
            return true;
        }
    return false;
}

bool AnsiToUtf8(const char* ansi, size_t length, std::string* utf8) {
    utf8->clear();
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = AnsiCodePoint(static_cast<uint8_t>(ansi[i]));
        if (c == 0) return false;
        AppendUtf8(c, utf8);
    }
    return true;
}

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi) {
    ansi->clear();
    for (size_t pos = 0; pos < utf8.size();) {
        uint32_t c;
        if (!NextUtf8(utf8, &pos, &c)) return false;
        if (c == 0) return false;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            ansi->push_back(static_cast<char>(c));
            continue;
        }
        char a;
        if (c > 0xFFFF || !AnsiOfWide(static_cast<uint16_t>(c), &a)) return false;
        ansi->push_back(a);
    }
    return true;
}

bool SameNameAnyCase(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        uint32_t x, y;
        if (!NextUtf8(a, &i, &x) || !NextUtf8(b, &j, &y)) return false;
        if (Upper(x) != Upper(y)) return false;
    }
    return i == a.size() && j == b.size();
}

bool SameAnsiAnyCase(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (Upper(WideOfAnsi(static_cast<uint8_t>(a[i]))) != Upper(WideOfAnsi(static_cast<uint8_t>(b[i]))))
            return false;
    return true;
}
