#include <dirent.h>
#include <sys/xattr.h>

#include "offline/ansi_names.h"
#include "offline/mounted_tree_short.h"

namespace {

DosNameReader g_dosNameReader = ReadMountDosName;

bool SameShortName(const std::string& a, const std::string& b) {
    return SameAnsiAnyCase(a.data(), a.size(), b.data(), b.size());
}

// One way of finding the entry: how many entries bear the name, and the last.
struct Bearers {
    int count;
    std::string entry;
};

}  // namespace

bool ReadMountDosName(const std::string& posixPath, std::string* dosName) {
    char buffer[64];
    ssize_t length = lgetxattr(posixPath.c_str(), "system.ntfs_dos_name", buffer, sizeof buffer);
    if (length <= 0) return false;
    dosName->assign(buffer, static_cast<size_t>(length));
    while (!dosName->empty() && dosName->back() == 0) dosName->pop_back();
    return !dosName->empty();
}

void SetDosNameReader(DosNameReader reader) { g_dosNameReader = reader ? reader : ReadMountDosName; }

bool FindEntryByShortName(const std::string& folder, const std::string& component, std::string* entry) {
    if (!LooksLikeShortName(component)) return false;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool recorded = false;
    Bearers byRecord = {0, std::string()}, byDerivation = {0, std::string()};
    while (struct dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        std::string dosName, ansi;
        if (g_dosNameReader(folder + "/" + name, &dosName)) {
            recorded = true;
            if (Utf8ToAnsi(dosName, &ansi) && SameShortName(ansi, component)) byRecord = {byRecord.count + 1, name};
            continue;
        }
        if (Utf8ToAnsi(name, &ansi) && SameShortName(DerivedShortName(ansi, 1), component))
            byDerivation = {byDerivation.count + 1, name};
    }
    closedir(dir);
    const Bearers& bearers = recorded ? byRecord : byDerivation;
    if (bearers.count != 1) return false;
    *entry = bearers.entry;
    return true;
}
