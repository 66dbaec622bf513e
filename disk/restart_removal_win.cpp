// Files in use are left to Windows to delete or move when it next starts:
// on the NT family through MoveFileExA, which writes the pending operation
// to the registry; on the 9x family through the [rename] section of
// WININIT.INI in the Windows folder, which the start-up reads in short
// names. And -undo takes such an operation back out while it still waits.
#include "disk/restart_removal_win.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "disk/file_actions.h"
#include "disk/held_file_win.h"
#include "disk/nt_family_win.h"
#include "disk/restart_entries.h"
#include "script/function_lookup_win.h"
#include "script/text_util.h"

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const WCHAR kPendingValue[] = L"PendingFileRenameOperations";
const char kNtPrefix[] = "\\??\\";
// WININIT.INI is a few lines; anything larger is not one to rewrite.
const DWORD kLargestWininit = 1024 * 1024;

bool OnDrive(const char* path) {
    char letter = static_cast<char>(path[0] | 0x20);
    return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\';
}

bool IsFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens path to read its identity, as Windows will see the path when it
// starts: a 32-bit program on 64-bit Windows sees the 32-bit twin of the
// system folder under the system folder's name, and the start-up would
// reach the 64-bit file of that name instead. That view is lifted for the
// open where the system has it.
HANDLE OpenAsAtStart(const char* path) {
    typedef BOOL(WINAPI * DisableFunction)(PVOID*);
    typedef BOOL(WINAPI * RevertFunction)(PVOID);
    DisableFunction disable;
    RevertFunction revert;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    PVOID view = nullptr;
    bool lifted = LookUpFunction(kernel, "Wow64DisableWow64FsRedirection", &disable) &&
                  LookUpFunction(kernel, "Wow64RevertWow64FsRedirection", &revert) && disable(&view);
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lifted) revert(view);
    return file;
}

// Whether the path, read as Windows will read it when it starts, still
// names the file that was checked. Anything else there would be deleted or
// moved in its place with every right there is.
bool StartNamesCheckedFile(const char* path, const HeldFile* held) {
    HANDLE file = OpenAsAtStart(path);
    if (!IsTheHeldFile(file, held)) return false;
    CloseHandle(file);
    return true;
}

bool ScheduleNt(const char* path, const char* destination, const HeldFile* held, char* entry) {
    // Only a drive's path is written as "\??\" and the path.
    if (!OnDrive(path) || (destination && !OnDrive(destination))) return false;
    if (held ? !StartNamesCheckedFile(path, held) : !IsFile(path)) return false;
    typedef BOOL(WINAPI * MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);
    MoveFileExFunction moveLater;
    if (!LookUpFunction(GetModuleHandleA("kernel32.dll"), "MoveFileExA", &moveLater)) return false;
    // Without MOVEFILE_REPLACE_EXISTING: a move replaces nothing, now or then.
    if (!moveLater(path, destination, MOVEFILE_DELAY_UNTIL_REBOOT)) return false;
    snprintf(entry, RESTART_ENTRY_SIZE, "%s%s", kNtPrefix, path);
    return true;
}

// The short name of a destination that does not exist yet: its folder's
// short path and its own name, which must be short already.
bool ShortDestination(const char* destination, char* out) {
    if (GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES) return false;  // a move replaces nothing
    const char* slash = strrchr(destination, '\\');
    if (!slash || !IsShortFileName(slash + 1)) return false;
    std::string folder(destination, static_cast<size_t>(slash - destination));
    if (folder.size() == 2) folder += '\\';  // "C:" is the current folder of C:, not its root
    char shortFolder[MAX_PATH];
    DWORD length = GetShortPathNameA(folder.c_str(), shortFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    bool rooted = shortFolder[length - 1] == '\\';
    return snprintf(out, MAX_PATH, "%s%s%s", shortFolder, rooted ? "" : "\\", slash + 1) < MAX_PATH;
}

std::string WininitPath() {
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    return std::string(windows) + (windows[length - 1] == '\\' ? "" : "\\") + "WININIT.INI";
}

// Reads WININIT.INI, lets change rewrite its text and writes it back in
// place, through one handle that nobody else may use meanwhile. A missing
// file is made when create is set.
template <typename Change>
bool RewriteWininit(bool create, Change change) {
    std::string path = WininitPath();
    if (path.empty()) return false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0, size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kLargestWininit;
    std::string text(ok ? size : 0, '\0');
    DWORD got = 0;
    ok = ok && (size == 0 || (ReadFile(file, &text[0], size, &got, nullptr) && got == size)) && change(&text);
    DWORD put = 0;
    ok = ok && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
         WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size() &&
         SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

bool Schedule9x(const char* path, const char* destination, char* entry) {
    if (!IsFile(path)) return false;
    char shortSource[MAX_PATH];
    DWORD length = GetShortPathNameA(path, shortSource, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    char shortTarget[MAX_PATH] = "NUL";  // the start-up deletes the file
    if (destination && !ShortDestination(destination, shortTarget)) return false;
    char line[RESTART_ENTRY_SIZE];
    if (snprintf(line, sizeof line, "%s=%s", shortTarget, shortSource) >= static_cast<int>(sizeof line)) return false;
    if (!RewriteWininit(true, [&line](std::string* text) {
            *text = WithRenameLine(*text, line);
            return true;
        }))
        return false;
    CopyBounded(entry, RESTART_ENTRY_SIZE, line);
    return true;
}

typedef LONG(WINAPI* RegQueryValueExWFunction)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* RegSetValueExWFunction)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* RegDeleteValueWFunction)(HKEY, LPCWSTR);

// The value is read and written in UTF-16 as the system keeps it: other
// programs' entries may name files in any script, and must come back as
// they were.
RestartTakeBack TakeBackNt(const char* entry, bool move) {
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    RegQueryValueExWFunction query;
    RegSetValueExWFunction set;
    RegDeleteValueWFunction remove;
    if (!LookUpFunction(advapi, "RegQueryValueExW", &query) || !LookUpFunction(advapi, "RegSetValueExW", &set) ||
        !LookUpFunction(advapi, "RegDeleteValueW", &remove))
        return RESTART_CANNOT_TAKE_BACK;
    int units = MultiByteToWideChar(CP_ACP, 0, entry, -1, nullptr, 0);
    if (units <= 1) return RESTART_CANNOT_TAKE_BACK;
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, entry, -1, wide.data(), units);
    std::vector<uint16_t> source(wide.begin(), wide.end() - 1);

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return RESTART_CANNOT_TAKE_BACK;
    RestartTakeBack result = RESTART_NOT_PENDING;
    DWORD type = 0, bytes = 0;
    LONG status = query(key, kPendingValue, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_SUCCESS && type == REG_MULTI_SZ && bytes > 0) {
        std::vector<uint16_t> value(bytes / 2 + 1, 0);  // room for a missing end
        status = query(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes);
        value.resize(bytes / 2);
        if (status != ERROR_SUCCESS) {
            result = RESTART_CANNOT_TAKE_BACK;
        } else if (TakeOutPendingOperation(&value, source, move)) {
            status = NoPendingOperations(value)
                         ? remove(key, kPendingValue)
                         : set(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.data()),
                               static_cast<DWORD>(value.size() * 2));
            result = status == ERROR_SUCCESS ? RESTART_TAKEN_BACK : RESTART_CANNOT_TAKE_BACK;
        }
    } else if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        result = RESTART_CANNOT_TAKE_BACK;
    }
    RegCloseKey(key);
    return result;
}

RestartTakeBack TakeBack9x(const char* entry) {
    if (GetFileAttributesA(WininitPath().c_str()) == INVALID_FILE_ATTRIBUTES) return RESTART_NOT_PENDING;
    bool read = false, found = false;
    bool rewritten = RewriteWininit(false, [entry, &read, &found](std::string* text) {
        read = true;
        found = TakeOutRenameLine(text, entry);
        return found;
    });
    if (!read) return RESTART_CANNOT_TAKE_BACK;
    if (!found) return RESTART_NOT_PENDING;
    return rewritten ? RESTART_TAKEN_BACK : RESTART_CANNOT_TAKE_BACK;
}

}  // namespace

bool PlatformScheduleAtRestart(const char* path, const char* destination, HeldFile* held, char* entry) {
    return OnNtFamily() ? ScheduleNt(path, destination, held, entry) : Schedule9x(path, destination, entry);
}

bool PlatformFileInUse(const char* path) {
    // An open for writing that writes nothing: refused for sharing while
    // another program holds the file or Windows runs it. The 9x family knows
    // no delete sharing.
    DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | (OnNtFamily() ? FILE_SHARE_DELETE : 0);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

RestartTakeBack TakeBackAtRestart(const char* entry, bool move) {
    // The NT family's entries are the system's own names of the file.
    if (strncmp(entry, kNtPrefix, sizeof kNtPrefix - 1) == 0) return TakeBackNt(entry, move);
    return TakeBack9x(entry);
}
