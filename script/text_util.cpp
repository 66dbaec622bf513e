#include "script/text_util.h"

#include <stdlib.h>
#include <string.h>

static int LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool EqualsIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (LowerAscii(static_cast<unsigned char>(*a)) != LowerAscii(static_cast<unsigned char>(*b))) return false;
        if (*a == 0) return true;
    }
}

void LowerCaseText(char* text) {
    for (; text && *text; ++text) *text = static_cast<char>(LowerAscii(static_cast<unsigned char>(*text)));
}

char* CopyText(const char* text, size_t length) {
    char* copy = static_cast<char*>(malloc(length + 1));
    if (!copy) return nullptr;
    memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

bool AppendText(char** slot, const char* characters, size_t length) {
    size_t old = *slot ? strlen(*slot) : 0;
    char* joined = static_cast<char*>(malloc(old + length + 1));
    if (!joined) return false;
    if (old) memcpy(joined, *slot, old);
    memcpy(joined + old, characters, length);
    joined[old + length] = 0;
    free(*slot);
    *slot = joined;
    return true;
}

void CopyBounded(char* destination, size_t size, const char* source) {
    if (size == 0) return;
    size_t n = strlen(source);
    if (n >= size) n = size - 1;
    memcpy(destination, source, n);
    destination[n] = 0;
}
