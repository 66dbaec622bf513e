// Hexadecimal numbers of the data file: no prefix, either letter case.
#pragma once
#include <stdint.h>

// Reads up to 2 * byteCount hex digits from text (stops at the terminator or
// the first non-digit). Returns the number of digits read and stores the value
// (0 for an empty text); returns -1 and leaves *out untouched when the text
// begins with a character that is not a hex digit.
int ParseHex(const char* text, int byteCount, uint32_t* out);

// Value of one hex digit, or -1.
int HexDigitValue(char c);
