// Small text helpers shared by the element handlers.
#pragma once
#include <stddef.h>

// ASCII comparison without regard to letter case, as data-file keywords are
// compared.
bool EqualsIgnoreCase(const char* a, const char* b);
// Lower-cases the ASCII letters of the text in place; null is allowed.
void LowerCaseText(char* text);
// A new text of the first length characters, or null when memory ran out.
char* CopyText(const char* text, size_t length);

// What a collector knows about the text it is building: which text, its
// length and the size of its block. With it an append copies only the new
// characters, and the block grows by doubling, so collecting a text costs
// time in proportion to its length however small the pieces are. A text
// that is not the one described is measured afresh.
struct TextTail {
    const char* text;
    size_t length;
    size_t capacity;  // bytes in the block, terminating zero included
};

// Appends to *slot (which may be null): the result is the old text followed
// by the characters, up to the first zero among them (a zero-length piece
// still turns an empty slot into an empty text). tail may be null. Answers
// false when memory ran out; the old text then stays.
bool AppendText(char** slot, const char* characters, size_t length, TextTail* tail = nullptr);
// Length of text, from tail when it describes text; 0 for none.
size_t TextLength(const char* text, const TextTail* tail);
// Ends text at, which lies within it, and keeps tail in step.
void CutText(char* text, size_t at, TextTail* tail);
// Copies at most size - 1 bytes and always terminates.
void CopyBounded(char* destination, size_t size, const char* source);
