// Hexadecimal numbers of the data file: digit limits, letter case, and the
// failure that leaves the caller's value alone.
#include <gtest/gtest.h>

#include "script/hex.h"

static const uint32_t kUntouched = 0xA5A5A5A5u;

TEST(ParseHex, Rows) {
    struct Row {
        int line;
        const char* text;
        int byteCount;
        int digits;      // -1: not a number
        uint32_t value;  // kUntouched when digits is -1
    } rows[] = {
        {1, "0", 1, 1, 0x0},
        {2, "7", 1, 1, 0x7},
        {3, "ff", 1, 2, 0xFF},
        {4, "FF", 1, 2, 0xFF},
        {5, "aB", 1, 2, 0xAB},
        {6, "123", 1, 2, 0x12},
        {7, "1234", 2, 4, 0x1234},
        {8, "12345", 2, 4, 0x1234},
        {9, "deadBEEF", 4, 8, 0xDEADBEEF},
        {10, "123456789", 4, 8, 0x12345678},
        {11, "FFFFFFFF", 4, 8, 0xFFFFFFFF},
        {12, "00000010", 4, 8, 0x10},
        {13, "7g", 1, 1, 0x7},
        {14, "9:", 4, 1, 0x9},
        {15, "0x10", 4, 1, 0x0},
        {16, "1 2", 4, 1, 0x1},
        {17, "", 4, 0, 0x0},
        {18, "", 1, 0, 0x0},
        {19, "g", 4, -1, kUntouched},
        {20, "G", 4, -1, kUntouched},
        {21, "-1", 4, -1, kUntouched},
        {22, " 1", 4, -1, kUntouched},
        {23, "/", 1, -1, kUntouched},
        {24, ":", 1, -1, kUntouched},
        {25, "@", 1, -1, kUntouched},
        {26, "`", 1, -1, kUntouched},
        {27, "x1", 4, -1, kUntouched},
        {28, "Ab", 2, 2, 0xAB},
        {29, "fEdC", 2, 4, 0xFEDC},
    };
    for (const Row& row : rows) {
        uint32_t out = kUntouched;
        EXPECT_EQ(row.digits, ParseHex(row.text, row.byteCount, &out)) << "row " << row.line;
        EXPECT_EQ(row.value, out) << "row " << row.line;
    }
}

TEST(ParseHex, EightBitCharactersAreNotDigits) {
    // ANSI text: letters above 0x7F arrive as negative chars.
    for (int c = 0x80; c < 0x100; ++c) {
        const char text[2] = {static_cast<char>(c), 0};
        uint32_t out = kUntouched;
        EXPECT_EQ(-1, ParseHex(text, 4, &out)) << "character " << c;
        EXPECT_EQ(kUntouched, out) << "character " << c;
    }
}
