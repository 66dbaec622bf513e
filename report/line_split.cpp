#include "report/line_split.h"

static bool IsBreak(char c) { return c == '\r' || c == '\n'; }

bool NextLine(const char* text, size_t length, size_t* pos, LineSpan* line) {
    size_t start = *pos;
    size_t end = start;
    while (end < length && !IsBreak(text[end])) ++end;
    if (end >= length) return false;
    line->start = start;
    line->length = end - start;
    size_t next = end;
    while (next < length && IsBreak(text[next])) ++next;
    *pos = next;
    return true;
}
