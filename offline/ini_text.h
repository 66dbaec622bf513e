// An INI file's bytes read and changed the way the Windows profile
// functions do: sections and entry names match without regard to case, the
// first section of a name and the first entry of a name in it win, and a
// change touches only the entry's own line, so line endings and every other
// byte of the file stay as they were.
#pragma once
#include <stdint.h>

#include <string>

// Answers true and the entry's value (blanks around it dropped, and one
// pair of matching quotes around the whole of it) when the file holds it.
bool FindIniValue(const std::string& text, const char* section, const char* name, std::string* value);
// Sets the entry to value, adding the entry or its section at need, or
// deletes it when value is null. Answers true when the text changed.
bool SetIniValue(std::string* text, const char* section, const char* name, const char* value);
// What the profile read answers: the value when found, else the default
// without its trailing blanks (null: empty), cut to size - 1 characters.
uint32_t CopyProfileAnswer(bool found, const std::string& value, const char* defaultText, char* buffer,
                           uint32_t size);
