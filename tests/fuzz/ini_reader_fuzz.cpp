// Fuzzes the INI reader and writer: any bytes are read without ending the
// program; an entry set is then read back with its value, setting it again
// changes nothing, and deleting it leaves the text readable.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "offline/ini_text.h"

static void Check(bool condition, const char* what) {
    if (condition) return;
    fprintf(stderr, "ini_reader_fuzz: %s\n", what);
    abort();
}

// Names the writer could not write back as one header and one entry:
// brackets, '=', line breaks, and blanks around them, which are not part of
// a name as the profile functions read it.
static bool Writable(const std::string& section, const std::string& name) {
    const char kBlanks[] = " \t\v\f\r";
    if (section.find_first_of(std::string("[]\n\0", 4)) != std::string::npos) return false;
    if (section.find_first_of(kBlanks) != std::string::npos) return false;
    if (name.find_first_of(std::string("=[\n\0", 4)) != std::string::npos) return false;
    return !name.empty() && !strchr(kBlanks, name.front()) && !strchr(kBlanks, name.back());
}

// The input's first line names the section and the entry ("section|name"),
// the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    if (newline == std::string::npos) return 0;
    std::string head = input.substr(0, newline), text = input.substr(newline + 1);
    size_t bar = head.find('|');
    if (bar == std::string::npos) return 0;
    std::string section = head.substr(0, bar), name = head.substr(bar + 1);

    std::string value;
    FindIniValue(text, section.c_str(), name.c_str(), &value);
    char buffer[16];
    CopyProfileAnswer(false, value, section.c_str(), buffer, sizeof buffer);
    if (!Writable(section, name)) return 0;

    std::string changed = text;
    SetIniValue(&changed, section.c_str(), name.c_str(), "fuzzed");
    Check(FindIniValue(changed, section.c_str(), name.c_str(), &value) && value == "fuzzed", "set value not read back");
    std::string again = changed;
    Check(!SetIniValue(&again, section.c_str(), name.c_str(), "fuzzed") && again == changed, "same value rewritten");
    SetIniValue(&changed, section.c_str(), name.c_str(), nullptr);
    FindIniValue(changed, section.c_str(), name.c_str(), &value);
    return 0;
}
