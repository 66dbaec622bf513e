#include "support/unix_link_win.h"

#include <windows.h>
#include <string.h>

namespace {

typedef char*(CDECL* UnixFileNameFunction)(const WCHAR* dosName);

}  // namespace

std::string UnixPathOf(const std::string& path) {
    auto unixName = reinterpret_cast<UnixFileNameFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!unixName) return "";
    std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    if (!name) return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool MakeUnixLink(const std::string& target, const std::string& link) {
    size_t slash = link.rfind('\\');
    if (slash == std::string::npos) return false;
    std::string folder = UnixPathOf(link.substr(0, slash));
    if (folder.empty()) return false;
    std::string command = "\\\\?\\unix\\bin\\ln -s " + target + " " + folder + "/" + link.substr(slash + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine does not wait for a host program through its handle: look for
    // the link instead.
    for (int tries = 0; tries < 500; ++tries) {
        if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(10);
    }
    return false;
}

bool RunOnHost(const std::string& command) {
    char temporary[MAX_PATH];
    GetTempPathA(sizeof temporary, temporary);
    std::string marker = std::string(temporary) + "mendrix-host-done";
    DeleteFileA(marker.c_str());
    // The marker's folder exists, so it has a host path; the marker is made
    // beside it.
    std::string folder = UnixPathOf(std::string(temporary).substr(0, strlen(temporary) - 1));
    if (folder.empty()) return false;
    std::string line = "\\\\?\\unix\\bin\\sh -c \"" + command + "; touch '" + folder + "/mendrix-host-done'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int tries = 0; tries < 500; ++tries) {
        if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(marker.c_str());
            return true;
        }
        Sleep(10);
    }
    return false;
}

bool GiveToAnotherUnixUser(const std::string& path) {
    std::string host = UnixPathOf(path);
    return !host.empty() && RunOnHost("chown nobody '" + host + "'");
}

bool LetEveryoneWrite(const std::string& path) {
    std::string host = UnixPathOf(path);
    return !host.empty() && RunOnHost("chmod o+w '" + host + "'");
}
