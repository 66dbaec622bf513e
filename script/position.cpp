#include "script/position.h"

#include <string.h>

#include "script/hex.h"
#include "script/pattern_record.h"

static const char* SkipBlanks(const char* text) {
    while (*text == ' ') ++text;
    return text;
}

// "+ n" or "- n" after an origin word; anything else leaves the offset.
static void ParseSignedOffset(PositionSpec* position, const char* text) {
    text = SkipBlanks(text);
    if (*text != '+' && *text != '-') return;
    bool negative = *text == '-';
    text = SkipBlanks(text + 1);
    if (!*text) return;
    uint32_t value;
    if (ParseHex(text, 4, &value) < 0) return;
    // Unsigned negation: 0x80000000 has no positive int32 counterpart.
    position->offset = static_cast<int32_t>(negative ? 0u - value : value);
}

void ParsePosition(PositionSpec* position, const char* text) {
    if (!text) return;
    if (strncmp(text, "pattern", 7) == 0) {
        const char* rest = text + 7;
        if (*rest && HexDigitValue(*rest) < 0) return;
        uint32_t number = 0;
        int digits = ParseHex(rest, 2, &number);
        position->origin = ORIGIN_PATTERN + static_cast<int32_t>(number);
        ParseSignedOffset(position, rest + digits);
        return;
    }
    if (strncmp(text, "end", 3) == 0) {
        position->origin = ORIGIN_END;
        ParseSignedOffset(position, text + 3);
        return;
    }
    // A bare number counts from the start of the file. A text that is no
    // number keeps the whole position, so that a bad end attribute does not
    // turn "end of file" into "start of file".
    uint32_t value;
    if (ParseHex(text, 4, &value) <= 0) return;
    position->origin = ORIGIN_START;
    position->offset = static_cast<int32_t>(value);
}
