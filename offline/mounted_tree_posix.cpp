#include "offline/mounted_tree.h"

#include <dirent.h>
#include <sys/stat.h>

#include "offline/ansi_names.h"
#include "offline/mounted_tree_short.h"

namespace {

DriveMount* g_drives;

char UpperLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

const DriveMount* MountOf(char letter) {
    for (const DriveMount* d = g_drives; d; d = d->next)
        if (d->letter == UpperLetter(letter)) return d;
    return nullptr;
}

// The entry of folder whose name is wanted (UTF-8), any case: an exact
// spelling first, else the first in byte order. Answers false if none.
bool FindEntryAnyCase(const std::string& folder, const std::string& wanted, std::string* entry) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (struct dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        if (name == wanted) {
            *entry = name;
            found = true;
            break;
        }
        if (SameNameAnyCase(name, wanted) && (!found || name < *entry)) {
            *entry = name;
            found = true;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

void AddDriveMount(char letter, const std::string& folder) {
    DriveMount** end = &g_drives;
    while (*end) end = &(*end)->next;
    *end = new DriveMount{UpperLetter(letter), folder, nullptr};
}

void ClearDriveMounts() {
    while (g_drives) {
        DriveMount* next = g_drives->next;
        delete g_drives;
        g_drives = next;
    }
}

const DriveMount* DriveMounts() { return g_drives; }

bool SplitWindowsPath(const char* path, char* letter, std::vector<std::string>* components) {
    components->clear();
    if (!IsLetter(path[0]) || path[1] != ':') return false;
    *letter = UpperLetter(path[0]);
    const char* at = path + 2;
    while (*at) {
        while (*at == '\\' || *at == '/') ++at;
        const char* end = at;
        while (*end && *end != '\\' && *end != '/') ++end;
        std::string name(at, end - at);
        at = end;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!components->empty()) components->pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (!name.empty()) components->push_back(name);
    }
    return true;
}

MountedPathStatus ResolveMountedPath(const char* windowsPath, std::string* posix) {
    char letter;
    std::vector<std::string> components;
    if (!SplitWindowsPath(windowsPath, &letter, &components)) return MOUNTED_NO_DRIVE;
    const DriveMount* mount = MountOf(letter);
    if (!mount) return MOUNTED_NO_DRIVE;
    *posix = mount->folder;
    for (size_t i = 0; i < components.size(); ++i) {
        std::string utf8;
        if (!AnsiToUtf8(components[i].data(), components[i].size(), &utf8)) return MOUNTED_BAD_NAME;
        std::string entry;
        if (!FindEntryAnyCase(*posix, utf8, &entry) && !FindEntryByShortName(*posix, components[i], &entry)) {
            *posix += "/" + utf8;
            return i + 1 == components.size() ? MOUNTED_MISSING : MOUNTED_NO_FOLDER;
        }
        *posix += "/" + entry;
        struct stat st;
        if (lstat(posix->c_str(), &st) != 0) return i + 1 == components.size() ? MOUNTED_MISSING : MOUNTED_NO_FOLDER;
        if (S_ISLNK(st.st_mode)) return MOUNTED_LINK;
        if (i + 1 < components.size() && !S_ISDIR(st.st_mode)) return MOUNTED_NO_FOLDER;
    }
    return MOUNTED_FOUND;
}
