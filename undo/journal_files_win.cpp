#include "undo/journal_files_win.h"

#include <stdio.h>

#include "undo/journal_items.h"
#include "undo/journal_log.h"
#include "undo/journal_security_win.h"

namespace {

const DWORD kPieceSize = 64 * 1024;
// A version-1 manifest, or one line of a log, larger than this is not read.
const size_t kTextLimit = 64u * 1024 * 1024;

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
    if (!*error && !FlushFileBuffers(file)) *error = GetLastError();
    CloseHandle(file);
    return *error == 0;
}

// The folder, opened for its security only.
HANDLE OpenFolder(const std::string& folder) {
    return CreateFileA(folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Reads the lines of a log as they come, and a version-1 manifest whole.
// A last line without its line end was cut off as it was written: its
// change was never made, and it is passed over.
bool ReadOpenManifest(HANDLE file, Journal* journal, std::string* problem) {
    std::string text, piece(kPieceSize, '\0');
    LogReader reader;
    bool decided = false, log = false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, &piece[0], kPieceSize, &got, nullptr)) {
            *problem = "its manifest cannot be read";
            break;
        }
        if (got == 0) {
            if (log) {
                EndLog(&reader);
                return true;
            }
            return ParseManifestVersion1(text, journal, problem);
        }
        text.append(piece, 0, got);
        if (!decided) {
            size_t end = text.find('\n');
            if (end != std::string::npos) {
                decided = true;
                log = IsJournalLogHeader(text.substr(0, end));
                if (log) BeginLog(&reader, journal);
            }
        }
        size_t start = 0;
        for (size_t end; log && (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            if (!ReadLogLine(&reader, text.substr(start, end - start), problem)) {
                EndLog(&reader);
                return false;
            }
        text.erase(0, start);
        if (text.size() > kTextLimit) {
            *problem = "its manifest is too large to be read";
            break;
        }
    }
    if (log) EndLog(&reader);
    return false;
}

// The length of the log up to the end of its last whole line.
bool WholeLength(HANDLE file, DWORD size, DWORD* whole) {
    std::string piece(kPieceSize, '\0');
    for (DWORD end = size; end > 0;) {
        DWORD start = end > kPieceSize ? end - kPieceSize : 0;
        DWORD got = 0;
        if (SetFilePointer(file, static_cast<LONG>(start), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !ReadFile(file, &piece[0], end - start, &got, nullptr) || got != end - start)
            return false;
        size_t newline = piece.rfind('\n', got - 1);
        if (newline != std::string::npos) {
            *whole = start + static_cast<DWORD>(newline) + 1;
            return true;
        }
        end = start;
    }
    *whole = 0;
    return true;
}

bool AppendRestored(const std::string& folder, const std::string& time, std::string* problem) {
    HANDLE file = CreateFileA(ManifestPath(folder).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *problem = "the manifest cannot be written: " + ProblemText(GetLastError());
        return false;
    }
    DWORD high = 0, size = GetFileSize(file, &high), whole = 0;
    std::string line = LogRestoredLine(time);
    DWORD written = 0, error = 0;
    if (size == INVALID_FILE_SIZE || high || !WholeLength(file, size, &whole))
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    else if (SetFilePointer(file, static_cast<LONG>(whole), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
             (whole != size && !SetEndOfFile(file)) ||
             !WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
             !FlushFileBuffers(file))
        error = GetLastError();
    else if (written != line.size())
        error = ERROR_DISK_FULL;
    CloseHandle(file);
    if (!error) return true;
    *problem = "the manifest cannot be written: " + ProblemText(error);
    return false;
}

}  // namespace

std::string UndoRoot() {
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    std::string drive = length >= 3 && length < sizeof windows ? std::string(windows, 3) : std::string("C:\\");
    return drive + "Mendrix\\Undo";
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

bool ReadManifest(const std::string& folder, Journal* journal, std::string* problem, bool* refused) {
    *refused = false;
    bool guarded = JournalsGuarded();
    std::string who;
    if (guarded) {
        // A folder that is not there fails below, as its manifest does.
        HANDLE opened = OpenFolder(folder);
        TrustVerdict verdict = TRUSTED;
        if (opened != INVALID_HANDLE_VALUE) {
            verdict = JudgeHandle(opened, false, &who);
            CloseHandle(opened);
        }
        if (verdict != TRUSTED) {
            *refused = true;
            *problem = TrustProblem(verdict, "folder", who);
            return false;
        }
    }
    // The manifest that was judged is the one read: through the same handle.
    HANDLE file = CreateFileA(ManifestPath(folder).c_str(), GENERIC_READ | (guarded ? READ_CONTROL : 0),
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *problem = "its manifest cannot be read";
        return false;
    }
    TrustVerdict verdict = guarded ? JudgeHandle(file, false, &who) : TRUSTED;
    bool read = false;
    if (verdict != TRUSTED) {
        *refused = true;
        *problem = TrustProblem(verdict, "manifest", who);
    } else {
        read = ReadOpenManifest(file, journal, problem);
    }
    CloseHandle(file);
    return read;
}

bool MarkRestored(const std::string& folder, Journal* journal, const std::string& time, std::string* problem) {
    if (journal->version == UNDO_FORMAT_VERSION) return AppendRestored(folder, time, problem);
    journal->restored = time;
    DWORD error = 0;
    if (WriteWhole(ManifestPath(folder), ManifestText(*journal), &error)) return true;
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
