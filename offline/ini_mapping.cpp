#include "offline/ini_mapping.h"

#include <string.h>

#include "offline/ansi_names.h"
#include "offline/registry_text.h"

namespace {

const uint32_t kCurrentUser = 0x80000001u;
const uint32_t kLocalMachine = 0x80000002u;
const char kTable[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\";

// The key's value of that name (empty: its default value) when it is text.
bool QueryText(const RegistryCalls* registry, const std::string& path, const char* name, std::string* text) {
    uint32_t type;
    return ReadRegistryText(registry, kLocalMachine, path, name, &type, text) && IsTextType(type);
}

bool SameText(const std::string& a, const std::string& b) { return SameAnsiAnyCase(a.data(), a.size(), b.data(), b.size()); }

}  // namespace

bool ReadMappingText(const std::string& text, IniMapping* mapping) {
    mapping->fileWhenMissing = true;
    mapping->fileToo = false;
    size_t at = 0;
    for (; at < text.size() && strchr("!#@", text[at]); ++at) {
        if (text[at] == '@') mapping->fileWhenMissing = false;
        if (text[at] == '!') mapping->fileToo = true;
    }
    std::string root = text.substr(at, 4);
    std::string rest = text.substr(at + root.size());
    if (SameText(root, "USR:")) {
        mapping->root = kCurrentUser;
        mapping->key = rest;
    } else if (SameText(root, "SYS:")) {
        mapping->root = kLocalMachine;
        mapping->key = "SOFTWARE\\" + rest;
    } else {
        return false;
    }
    return true;
}

bool FindIniMapping(const RegistryCalls* registry, const char* windowsFolder, const char* file, const char* section,
                    const char* name, IniMapping* mapping) {
    // A key name cannot hold a backslash: such a section or file is not in the table.
    if (!registry || !section || !name || strchr(section, '\\')) return false;
    const char* slash = strrchr(file, '\\');
    std::string folder = slash ? std::string(file, slash - file) : windowsFolder;
    if (!SameText(folder, windowsFolder)) return false;
    std::string fileKey = kTable + std::string(slash ? slash + 1 : file);
    std::string sectionKey = fileKey + "\\" + section;
    std::string text;
    // The entry's own value, else the section's default, else the file's.
    bool found = QueryText(registry, sectionKey, name, &text) || QueryText(registry, sectionKey, "", &text) ||
                 QueryText(registry, fileKey, "", &text);
    return found && ReadMappingText(text, mapping);
}
