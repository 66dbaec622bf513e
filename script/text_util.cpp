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

static bool Describes(const TextTail* tail, const char* text) { return tail && text && tail->text == text; }

size_t TextLength(const char* text, const TextTail* tail) {
    if (!text) return 0;
    return Describes(tail, text) ? tail->length : strlen(text);
}

// A block for at least needed bytes, twice the old one where that can be
// had; only when even the exact size fails does the append fail.
static char* GrowBlock(char* block, size_t capacity, size_t needed, size_t* grown) {
    size_t doubled = capacity <= static_cast<size_t>(-1) / 2 ? capacity * 2 : needed;
    if (doubled > needed) {
        char* bigger = static_cast<char*>(realloc(block, doubled));
        if (bigger) {
            *grown = doubled;
            return bigger;
        }
    }
    char* exact = static_cast<char*>(realloc(block, needed));
    if (exact) *grown = needed;
    return exact;
}

bool AppendText(char** slot, const char* characters, size_t length, TextTail* tail) {
    // A C text ends at its first zero: what follows one could never be read.
    const void* zero = length ? memchr(characters, 0, length) : nullptr;
    if (zero) length = static_cast<size_t>(static_cast<const char*>(zero) - characters);

    char* text = *slot;
    size_t old = TextLength(text, tail);
    // Of a block made elsewhere only the text and its zero are known.
    size_t capacity = !text ? 0 : Describes(tail, text) ? tail->capacity : old + 1;
    if (length > static_cast<size_t>(-1) - old - 1) return false;
    size_t needed = old + length + 1;
    if (needed > capacity) {
        size_t grown = 0;
        char* block = GrowBlock(text, capacity, needed, &grown);
        if (!block) return false;
        text = block;
        capacity = grown;
        *slot = text;
    }
    if (length) memcpy(text + old, characters, length);
    text[old + length] = 0;
    if (tail) *tail = TextTail{text, old + length, capacity};
    return true;
}

void CutText(char* text, size_t at, TextTail* tail) {
    text[at] = 0;
    if (Describes(tail, text) && at < tail->length) tail->length = at;
}

void CopyBounded(char* destination, size_t size, const char* source) {
    if (size == 0) return;
    size_t n = strlen(source);
    if (n >= size) n = size - 1;
    memcpy(destination, source, n);
    destination[n] = 0;
}
