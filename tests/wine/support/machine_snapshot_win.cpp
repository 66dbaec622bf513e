#include "support/machine_snapshot_win.h"

#include <tlhelp32.h>
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "support/wine_support.h"

namespace {

void AddOpenKey(HKEY key, const std::string& prefix, MachineShot* shot);

// The key's own entry and values; answers the names of its subkeys. The
// counts come first, so that each list is read without a failing call at
// its end: over a whole hive the calls are where the time goes.
std::vector<std::string> AddKeyAndValues(HKEY key, const std::string& prefix, MachineShot* shot) {
    std::vector<std::string> subkeyNames;
    (*shot)[prefix] = "key";
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return subkeyNames;
    std::vector<char> name((longestName > longestSubkey ? longestName : longestSubkey) + 2);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        LONG status = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_MORE_DATA) {  // it grew meanwhile
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        (*shot)[prefix + "@" + std::string(name.data(), nameSize)] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), dataSize);
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeyNames.push_back(std::string(name.data(), nameSize));
    }
    return subkeyNames;
}

void AddSubkey(HKEY parent, const std::string& name, const std::string& prefix, MachineShot* shot) {
    HKEY child;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) return;
    AddOpenKey(child, prefix + name + "\\", shot);
    RegCloseKey(child);
}

void AddOpenKey(HKEY key, const std::string& prefix, MachineShot* shot) {
    for (const std::string& sub : AddKeyAndValues(key, prefix, shot)) AddSubkey(key, sub, prefix, shot);
}

// One of the threads that share out a key's subkeys.
struct SubkeyWorker {
    HKEY parent;
    const std::vector<std::string>* names;
    volatile LONG* next;  // the index of the next subkey nobody has taken
    const std::string* prefix;
    MachineShot shot;
};

DWORD WINAPI TakeSubkeys(void* parameter) {
    SubkeyWorker* worker = static_cast<SubkeyWorker*>(parameter);
    for (;;) {
        LONG index = InterlockedIncrement(worker->next) - 1;
        if (index >= static_cast<LONG>(worker->names->size())) return 0;
        AddSubkey(worker->parent, (*worker->names)[index], *worker->prefix, &worker->shot);
    }
}

}  // namespace

void AddRegistryTree(HKEY root, const std::string& path, const std::string& prefix, MachineShot* shot) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    AddOpenKey(key, prefix, shot);
    RegCloseKey(key);
}

void AddRegistryTreeInParallel(HKEY root, const std::string& path, const std::string& prefix, MachineShot* shot) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> names = AddKeyAndValues(key, prefix, shot);
    volatile LONG next = 0;
    SubkeyWorker workers[2] = {{key, &names, &next, &prefix, {}}, {key, &names, &next, &prefix, {}}};
    HANDLE helper = CreateThread(nullptr, 0, TakeSubkeys, &workers[1], 0, nullptr);
    TakeSubkeys(&workers[0]);
    if (helper) {
        WaitForSingleObject(helper, INFINITE);
        CloseHandle(helper);
    } else {
        TakeSubkeys(&workers[1]);  // no second thread: this one takes the rest
    }
    for (SubkeyWorker& worker : workers) shot->insert(worker.shot.begin(), worker.shot.end());
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
