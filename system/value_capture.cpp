#include "system/value_capture.h"

#include <string.h>

// The first occurrence of the first length bytes of piece in text, or null.
static const char* FindPiece(const char* text, const char* piece, size_t length) {
    if (length == 0) return text;
    for (const char* at = strchr(text, piece[0]); at; at = strchr(at + 1, piece[0]))
        if (strncmp(at, piece, length) == 0) return at;
    return nullptr;
}

bool MatchValuePattern(const char* text, const char* pattern, Capture* capture) {
    capture->start = nullptr;
    capture->length = 0;
    const char* mark = strstr(pattern, "%s");
    if (!mark) return strstr(text, pattern) != nullptr;

    size_t prefixLength = static_cast<size_t>(mark - pattern);
    const char* start = FindPiece(text, pattern, prefixLength);
    if (!start) return false;
    start += prefixLength;
    const char* suffix = mark + 2;
    const char* end = *suffix ? strstr(start, suffix) : start + strlen(start);
    if (!end) return false;
    capture->start = start;
    capture->length = static_cast<size_t>(end - start);
    return true;
}
