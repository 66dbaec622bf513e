#include "undo/journal_files_win.h"

#include <stdio.h>

namespace {

bool WriteWhole(const std::string& path, const std::string& bytes, DWORD* error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    // A short write is a full disk.
    *error = !ok ? GetLastError() : written != bytes.size() ? ERROR_DISK_FULL : 0;
    CloseHandle(file);
    return *error == 0;
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    bool ok = high == 0 && size != INVALID_FILE_SIZE && size < 64u * 1024 * 1024;
    if (ok) {
        bytes->resize(size);
        DWORD got = 0;
        ok = size == 0 || (ReadFile(file, &(*bytes)[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

std::string UndoRoot() {
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    std::string drive = length >= 3 && length < sizeof windows ? std::string(windows, 3) : std::string("C:\\");
    return drive + "Mendrix\\Undo";
}

bool MakeUndoRoot(std::string* problem) {
    std::string root = UndoRoot();
    std::string parent = root.substr(0, root.rfind('\\'));
    for (const std::string& folder : {parent, root}) {
        if (CreateDirectoryA(folder.c_str(), nullptr)) continue;
        DWORD error = GetLastError();
        DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            *problem = "cannot create " + folder + ": " + ProblemText(error);
            return false;
        }
    }
    return true;
}

std::vector<std::string> JournalFolders() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((UndoRoot() + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsJournalFolderName(found.cFileName))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string ManifestPath(const std::string& folder) { return folder + "\\manifest.json"; }

bool ReadManifest(const std::string& folder, Journal* journal, std::string* problem) {
    std::string text;
    if (!ReadWhole(ManifestPath(folder), &text)) {
        *problem = "its manifest cannot be read";
        return false;
    }
    return ParseManifest(text, journal, problem);
}

bool WriteManifest(const std::string& folder, const Journal& journal, std::string* problem) {
    DWORD error = 0;
    if (WriteWhole(ManifestPath(folder), ManifestText(journal), &error)) return true;
    *problem = "the manifest cannot be written: " + ProblemText(error);
    return false;
}

std::string ProblemText(DWORD error) {
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return "the disk is full";
    if (error == ERROR_ACCESS_DENIED) return "access is denied";
    char text[32];
    snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(error));
    return text;
}

uint64_t FileTimeValue(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME FileTimeOf(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}
