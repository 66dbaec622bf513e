#include "support/unix_link_win.h"

#include <windows.h>

namespace {

typedef char*(CDECL* UnixFileNameFunction)(const WCHAR* dosName);

// The host's path of an existing Windows path, or "" outside Wine.
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

}  // namespace

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
