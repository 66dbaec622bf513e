// Names as the installation writes them (its ANSI code page, Western
// European) against names as a Linux mount lists them (UTF-8), compared
// without regard to letter case, as Windows compares them.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

// Converts an ANSI name to UTF-8. Answers false when a byte has no
// character in the code page: such a name cannot name anything on the mount.
bool AnsiToUtf8(const char* ansi, size_t length, std::string* utf8);
// Converts a UTF-8 name from the mount to ANSI. Answers false when the name
// is not valid UTF-8 or holds a character the code page lacks: Windows on
// that installation would show it by another name than ours.
bool Utf8ToAnsi(const std::string& utf8, std::string* ansi);
// One character of the code page and its UTF-16 one; a character the page
// lacks answers false.
uint16_t WideOfAnsi(uint8_t c);
bool AnsiOfWide(uint16_t w, char* c);
// True when the two UTF-8 names are the same but for letter case.
bool SameNameAnyCase(const std::string& a, const std::string& b);
// The same for two ANSI texts (section and entry names of INI files).
bool SameAnsiAnyCase(const char* a, size_t aLength, const char* b, size_t bLength);
