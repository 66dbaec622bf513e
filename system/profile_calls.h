// INI files as the INIFILE work sees them: the Windows profile functions, or
// a stand-in of the tests.
#pragma once
#include <stdint.h>

struct ProfileCalls {
    // Copies the entry's value (or, when it is missing, the default; null
    // stands for an empty one) into buffer, cut to size - 1 characters.
    // Answers the number of characters copied.
    uint32_t (*read)(const char* section, const char* name, const char* defaultText, char* buffer, uint32_t size,
                     const char* file);
    // Sets the entry to value, or deletes it when value is null. With
    // section, name and value all null, the cached copy of the file is
    // written out and dropped. Answers true on success.
    bool (*write)(const char* section, const char* name, const char* value, const char* file);
};
