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
// Appends to *slot (which may be null). Answers false when memory ran out;
// the old text then stays.
bool AppendText(char** slot, const char* characters, size_t length);
// Copies at most size - 1 bytes and always terminates.
void CopyBounded(char* destination, size_t size, const char* source);
