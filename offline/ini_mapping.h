// The NT family's INI file mapping: entries of some files of the Windows
// folder live in the registry, where the profile functions read and change
// them instead of in the file. The table is the installation's own,
// SOFTWARE\Microsoft\Windows NT\CurrentVersion\IniFileMapping.
#pragma once
#include <stdint.h>

#include <string>

#include "system/registry_calls.h"

struct IniMapping {
    uint32_t root;       // HKEY_CURRENT_USER ("USR:") or HKEY_LOCAL_MACHINE ("SYS:", under SOFTWARE)
    std::string key;     // the key under root; the entry is its value of the entry's name
    bool fileWhenMissing;  // no '@': an entry the registry lacks is read from the file
    bool fileToo;          // '!': a change is written to the file as well
};

// Answers true and where the entry lives when the table maps it. file is
// the Windows path of the INI file; only files of windowsFolder are mapped.
bool FindIniMapping(const RegistryCalls* registry, const char* windowsFolder, const char* file, const char* section,
                    const char* name, IniMapping* mapping);
// Reads a mapping's text ("!@USR:Software\...", the table's own wording).
// Answers false when it names neither root.
bool ReadMappingText(const std::string& text, IniMapping* mapping);
