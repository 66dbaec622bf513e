#include "support/machine_snapshot_win.h"

#include <tlhelp32.h>
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "support/wine_support.h"

void AddRegistryTree(HKEY root, const std::string& path, const std::string& prefix, MachineShot* shot) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    (*shot)[prefix] = "key";
    std::vector<char> name(16384);
    std::vector<BYTE> data(64 * 1024);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        LONG status = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_MORE_DATA) {
            data.resize(dataSize + 1);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        (*shot)[prefix + "@" + std::string(name.data(), nameSize)] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), dataSize);
    }
    // The subkeys' names first: reading below a key while enumerating it
    // is safe, but a list is simpler to reason about.
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char sub[256];
        if (RegEnumKeyA(key, i, sub, sizeof sub) != ERROR_SUCCESS) break;
        subkeys.push_back(sub);
    }
    for (const std::string& sub : subkeys) AddRegistryTree(key, sub, prefix + sub + "\\", shot);
    RegCloseKey(key);
}

MachineShot RegistryShotOf(HKEY root, const std::string& path) {
    MachineShot shot;
    AddRegistryTree(root, path, "", &shot);
    return shot;
}

void DeleteRegistryTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[256];
        while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) DeleteRegistryTree(key, name);
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path.c_str());
}

namespace {

// FNV-1a, 64 bits: enough to tell a file's bytes apart in a test.
uint64_t HashOf(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool Skipped(const std::string& name, const char* const* skip) {
    for (; skip && *skip; ++skip)
        if (_stricmp(name.c_str(), *skip) == 0) return true;
    return false;
}

}  // namespace

void AddFolderTree(const std::string& folder, const std::string& prefix, MachineShot* shot, const char* const* skip) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || Skipped(name, skip)) continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*shot)[prefix + name + "\\"] = "<folder>";
            AddFolderTree(path, prefix + name + "\\", shot, skip);
            continue;
        }
        std::string bytes = ReadWholeFile(path);
        char line[200];
        snprintf(line, sizeof line, "size %lu attributes %lx written %08lx%08lx hash %016llx",
                 static_cast<unsigned long>(found.nFileSizeLow), found.dwFileAttributes,
                 found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime,
                 static_cast<unsigned long long>(HashOf(bytes)));
        (*shot)[prefix + name] = line;
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void AddFileBytes(const std::string& path, const std::string& name, MachineShot* shot) {
    (*shot)[name] = FileExists(path) ? ReadWholeFile(path) : std::string("<absent>");
}

void AddServices(MachineShot* shot) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager) return;
    std::vector<char> buffer(256 * 1024);
    DWORD needed = 0, count = 0, resume = 0;
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
    if (EnumServicesStatusA(manager, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, entries,
                            static_cast<DWORD>(buffer.size()), &needed, &count, &resume))
        for (DWORD i = 0; i < count; ++i)
            (*shot)[std::string("service ") + entries[i].lpServiceName] =
                "state " + std::to_string(entries[i].ServiceStatus.dwCurrentState);
    CloseServiceHandle(manager);
}

void AddProcesses(MachineShot* shot) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self) continue;
        std::string name = entry.szExeFile;
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        // Wine's console host comes and goes with the console programs it
        // serves; it is none of the machine's own.
        if (name == "conhost.exe") continue;
        (*shot)["process " + name + " " + std::to_string(entry.th32ProcessID)] = "running";
    }
    CloseHandle(snapshot);
}

std::map<std::string, std::string> ChangedNames(const MachineShot& before, const MachineShot& after) {
    std::map<std::string, std::string> changed;
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            changed[b.first] = "removed";
        else if (a->second != b.second)
            changed[b.first] = "changed";
    }
    for (const auto& a : after)
        if (!before.count(a.first)) changed[a.first] = "added";
    return changed;
}

std::string ShotDifferences(const MachineShot& before, const MachineShot& after) {
    auto brief = [](const MachineShot& shot, const std::string& name) {
        auto found = shot.find(name);
        return found == shot.end() ? std::string("<none>") : found->second.substr(0, 90);
    };
    std::string text;
    for (const auto& c : ChangedNames(before, after))
        text += c.first + " (" + c.second + "):\n  " + brief(before, c.first) + "\n  " + brief(after, c.first) + "\n";
    return text;
}
