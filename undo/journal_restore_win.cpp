// Putting a journal back: every item is restored where nothing has taken
// its place since, and each one is reported on a line of its own.
#include <windows.h>

#include <string.h>

#include "disk/restart_removal_win.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"
#include "undo/journal_files_win.h"
#include "undo/system_state_win.h"
#include "undo/undo_run.h"

namespace {

enum Outcome { RESTORED, LEFT_ALONE, FAILED };

struct Result {
    Outcome outcome;
    std::string reason;
};

Result Restored() { return Result{RESTORED, ""}; }
Result LeftAlone(const std::string& reason) { return Result{LEFT_ALONE, reason}; }
Result Failed(const std::string& reason) { return Result{FAILED, reason}; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const DWORD kPieceSize = 64 * 1024;

uint64_t SizeOf(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return ~0ull;
    return static_cast<uint64_t>(high) << 32 | low;
}

// The saved copy, opened and checked against the item's size.
HANDLE OpenSavedCopy(const std::string& folder, const UndoItem& item) {
    HANDLE copy = CreateFileA((folder + "\\" + item.saved).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (copy != INVALID_HANDLE_VALUE && SizeOf(copy) != item.size) {
        CloseHandle(copy);
        copy = INVALID_HANDLE_VALUE;
    }
    return copy;
}

// Reads the next piece of the copy, unscrambled. False at a read error.
bool ReadPiece(HANDLE copy, std::string* piece, DWORD* got, uint8_t* key) {
    if (!ReadFile(copy, &(*piece)[0], kPieceSize, got, nullptr)) return false;
    ScrambleBytes(&(*piece)[0], *got, key);
    return true;
}

// Writes the saved bytes into a new file at path, with the item's times;
// the attributes are set afterwards. A failed write leaves no file.
Result WriteNewFile(const std::string& path, HANDLE copy, const UndoItem& item) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failed(ProblemText(GetLastError()));
    std::string piece(kPieceSize, '\0');
    uint8_t key = UNDO_SCRAMBLE_START;
    DWORD error = 0;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadPiece(copy, &piece, &got, &key)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        if (!WriteFile(file, piece.data(), got, &put, nullptr)) {
            error = GetLastError();
            break;
        }
        if (put != got) {  // a short write is a full disk
            error = ERROR_DISK_FULL;
            break;
        }
    }
    FILETIME created = FileTimeOf(item.created), accessed = FileTimeOf(item.accessed),
             written = FileTimeOf(item.written);
    if (!error) SetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    if (error) {
        DeleteFileA(path.c_str());
        return Failed(ProblemText(error));
    }
    return Restored();
}

// Whether the file at path holds exactly the saved bytes.
bool HoldsSavedBytes(const std::string& path, HANDLE copy, const UndoItem& item) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool same = SizeOf(file) == item.size && SetFilePointer(copy, 0, nullptr, FILE_BEGIN) == 0;
    std::string saved(kPieceSize, '\0'), there(kPieceSize, '\0');
    uint8_t key = UNDO_SCRAMBLE_START;
    while (same) {
        DWORD got = 0, read = 0;
        same = ReadPiece(copy, &saved, &got, &key) && ReadFile(file, &there[0], got ? got : 1, &read, nullptr) &&
               read == got && saved.compare(0, got, there, 0, got) == 0;
        if (got == 0) break;
    }
    CloseHandle(file);
    return same;
}

Result RestoreCutFile(HANDLE copy, const UndoItem& item) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(item.path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LeftAlone("it is no longer there");
    FindClose(search);
    uint64_t size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
    if (size != item.afterSize || FileTimeValue(found.ftLastWriteTime) != item.afterWritten)
        return LeftAlone("it was changed again since the run");
    // Written beside it first: the cut file goes only once its old bytes
    // are all on disk again.
    std::string beside = item.path + ".mdx-undo";
    DeleteFileA(beside.c_str());
    Result result = WriteNewFile(beside, copy, item);
    if (result.outcome != RESTORED) return result;
    SetFileAttributesA(item.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(item.path.c_str()) || !MoveFileA(beside.c_str(), item.path.c_str())) {
        DWORD error = GetLastError();
        DeleteFileA(beside.c_str());
        return Failed(ProblemText(error));
    }
    SetFileAttributesA(item.path.c_str(), item.attributes);
    return result;
}

// A file left for the next start is put back by taking the pending
// operation out while it still waits: the file never left its place, and
// only its attributes, cleared before the change, come back. Answers false
// when the file is to be restored from its copy as usual (Windows has
// started since, or the file went meanwhile).
bool TookBackScheduled(const UndoItem& item, Result* result) {
    switch (TakeBackAtRestart(item.scheduled.c_str(), item.change == UNDO_MOVE)) {
    case RESTART_TAKEN_BACK:
        if (!Exists(item.path)) return false;
        SetFileAttributesA(item.path.c_str(), item.attributes);
        *result = Restored();
        return true;
    case RESTART_NOT_PENDING:
        return false;
    case RESTART_CANNOT_TAKE_BACK:
        break;
    }
    *result = Failed("what was to happen to it when Windows restarts cannot be taken back");
    return true;
}

Result RestoreFile(const std::string& folder, const UndoItem& item) {
    Result waiting;
    if (!item.scheduled.empty() && TookBackScheduled(item, &waiting)) return waiting;
    HANDLE copy = OpenSavedCopy(folder, item);
    if (copy == INVALID_HANDLE_VALUE) return Failed("its saved copy is missing or damaged");
    Result result;
    if (item.change == UNDO_CUT) {
        result = RestoreCutFile(copy, item);
    } else if (Exists(item.path)) {
        result = LeftAlone("it exists again");
    } else {
        result = WriteNewFile(item.path, copy, item);
        if (result.outcome == RESTORED) SetFileAttributesA(item.path.c_str(), item.attributes);
        // The moved file goes away only where it is still what was moved.
        if (result.outcome == RESTORED && item.change == UNDO_MOVE && !item.destination.empty() &&
            HoldsSavedBytes(item.destination, copy, item)) {
            SetFileAttributesA(item.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(item.destination.c_str());
        }
    }
    CloseHandle(copy);
    return result;
}

Result RestoreRegistryValue(const UndoItem& item) {
    HKEY key;
    if (RegCreateKeyExA(UndoRootKey(item.root), item.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return Failed("its key cannot be opened");
    uint32_t type = 0;
    std::string data;
    bool there = ReadRegistryValue(key, item.name, &type, &data);
    Result result = Restored();
    if (item.change == UNDO_DELETE && there)
        result = LeftAlone("it was set again");
    else if (item.change == UNDO_RESET && (!there || type != item.newType || data != item.newData))
        result = LeftAlone("it was changed again since the run");
    else if (RegSetValueExA(key, item.name.c_str(), 0, item.type, reinterpret_cast<const BYTE*>(item.data.data()),
                            static_cast<DWORD>(item.data.size())) != ERROR_SUCCESS)
        result = Failed("it cannot be written");
    RegFlushKey(key);
    RegCloseKey(key);
    return result;
}

Result RestoreRegistryKey(const UndoItem& item) {
    HKEY root = UndoRootKey(item.root);
    HKEY key;
    if (RegOpenKeyExA(root, item.path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return LeftAlone("it exists again");
    }
    if (RegCreateKeyExA(root, item.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return Failed("it cannot be created");
    bool ok = true;
    for (const UndoKeyEntry& e : item.keyEntries) {
        HKEY sub = key;
        if (!e.subkey.empty() && RegCreateKeyExA(key, e.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                                 nullptr) != ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        if (!e.isKey && RegSetValueExA(sub, e.name.c_str(), 0, e.type, reinterpret_cast<const BYTE*>(e.data.data()),
                                       static_cast<DWORD>(e.data.size())) != ERROR_SUCCESS)
            ok = false;
        if (sub != key) RegCloseKey(sub);
    }
    RegFlushKey(key);
    RegCloseKey(key);
    return ok ? Restored() : Failed("some of its values cannot be written");
}

const char kMissing[] = "\x01mendrix-missing\x01";

Result RestoreIniEntry(const UndoItem& item) {
    const char* file = item.path.c_str();
    // The profile functions keep a cached copy of the file: it is dropped
    // first, so that the reading sees the file as it is now.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    std::string now(32768, '\0');
    DWORD length = GetPrivateProfileStringA(item.section.c_str(), item.name.c_str(), kMissing, &now[0],
                                            static_cast<DWORD>(now.size()), file);
    now.resize(length);
    if (item.change == UNDO_DELETE && now != kMissing) return LeftAlone("it was set again");
    if (item.change == UNDO_RESET && lstrcmpiA(now.c_str(), item.newData.c_str()) != 0)
        return LeftAlone("it was changed again since the run");
    if (!WritePrivateProfileStringA(item.section.c_str(), item.name.c_str(), item.data.c_str(), file))
        return Failed("the file cannot be written");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    return Restored();
}

Result RestoreService(const UndoItem& item) {
    UndoService current;
    ServiceLookup lookup = ReadServiceConfig(item.path, &current);
    if (lookup == SERVICE_FOUND || lookup == SERVICE_UNREADABLE) return LeftAlone("it exists again");
    if (lookup == SERVICE_NO_MANAGER) return Failed("this system has no service manager");
    DWORD error = CreateSavedService(item.path, item.service);
    if (error == ERROR_SERVICE_EXISTS) return LeftAlone("it exists again");
    return error ? Failed(ProblemText(error)) : Restored();
}

Result RestoreItem(const std::string& folder, const UndoItem& item) {
    switch (item.kind) {
    case UNDO_FILE:
        return RestoreFile(folder, item);
    case UNDO_REGISTRY_VALUE:
        return RestoreRegistryValue(item);
    case UNDO_REGISTRY_KEY:
        return RestoreRegistryKey(item);
    case UNDO_INI_ENTRY:
        return RestoreIniEntry(item);
    case UNDO_SERVICE:
        return RestoreService(item);
    case UNDO_DAMAGED:
        break;
    }
    return Failed(item.problem);
}

// What the item's line names: the path, the key and value, the INI entry.
std::string Shown(const UndoItem& item) {
    static const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
    std::string root = (item.root & 0xF) < 7 ? kRoots[item.root & 0xF] : "";
    switch (item.kind) {
    case UNDO_REGISTRY_VALUE:
        return root + "\\" + item.path + "\\" + (item.name.empty() ? "Default" : item.name);
    case UNDO_REGISTRY_KEY:
        return root + "\\" + item.path;
    case UNDO_INI_ENTRY:
        return item.path + " [" + item.section + "] " + item.name;
    default:
        return item.path;
    }
}

int32_t ReportKindOf(int kind) {
    switch (kind) {
    case UNDO_REGISTRY_VALUE: return ITEM_REGISTRY_VALUE;
    case UNDO_REGISTRY_KEY: return ITEM_REGISTRY_KEY;
    case UNDO_INI_ENTRY: return ITEM_INI_ENTRY;
    case UNDO_SERVICE: return ITEM_SERVICE;
    default: return ITEM_FILE;
    }
}

std::string FolderOf(const char* which) {
    if (strchr(which, '\\')) return which;
    return UndoRoot() + "\\" + which;
}

std::string NowText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return JournalTimeText(JournalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}

int ListJournals() {
    std::vector<std::string> names = JournalFolders();
    if (names.empty()) {
        ReportMessage(MSG_INFO, "No undo journals in %s\r\n", UndoRoot().c_str());
        return 0;
    }
    ReportMessage(MSG_INFO, "Undo journals in %s:\r\n", UndoRoot().c_str());
    for (const std::string& name : names) {
        Journal journal = {};
        std::string problem;
        if (ReadManifest(UndoRoot() + "\\" + name, &journal, &problem))
            ReportMessage(MSG_INFO, "%s\r\n", JournalListLine(name, journal).c_str());
        else
            ReportMessage(MSG_INFO, "%s  (cannot be read: %s)\r\n", name.c_str(), problem.c_str());
        FreeJournalItems(&journal);
    }
    return 0;
}

int Restore(const std::string& folder) {
    Journal journal = {};
    std::string problem;
    if (!ReadManifest(folder, &journal, &problem)) {
        ReportMessage(MSG_ERROR, "Cannot restore %s: %s\r\n", folder.c_str(), problem.c_str());
        FreeJournalItems(&journal);
        return 1;
    }
    if (!journal.restored.empty()) {
        ReportMessage(MSG_ERROR, "%s was restored on %s already; nothing was changed\r\n", folder.c_str(),
                      journal.restored.c_str());
        FreeJournalItems(&journal);
        return 1;
    }
    CopyBounded(g_runFacts.undoJournal, sizeof g_runFacts.undoJournal, folder.c_str());
    if (ReportOnlyRun()) {
        // Nothing is put back and the journal stays unmarked.
        for (const UndoItem* item : RestoreOrder(journal)) {
            std::string shown = Shown(*item);
            ReportWouldDo("restore %s %s", UndoKindWord(item->kind), shown.c_str());
            RecordItem(ReportKindOf(item->kind), shown.c_str(), "", "restore", OUTCOME_WOULD);
        }
        FreeJournalItems(&journal);
        return 0;
    }
    ReportMessage(MSG_INFO, "Restoring %s\r\n", folder.c_str());
    unsigned restored = 0, notRestored = 0;
    for (const UndoItem* item : RestoreOrder(journal)) {
        Result result = RestoreItem(folder, *item);
        const char* kind = UndoKindWord(item->kind);
        std::string shown = Shown(*item);
        if (result.outcome == RESTORED) {
            ++restored;
            ReportMessage(MSG_INFO, "Restored %s %s\r\n", kind, shown.c_str());
        } else {
            ++notRestored;
            ReportMessage(MSG_INFO, "%s %s %s: %s\r\n", result.outcome == LEFT_ALONE ? "Left alone" : "Could not restore",
                          kind, shown.c_str(), result.reason.c_str());
        }
        // The reason a restore was refused stands where a scan names what
        // matched.
        RecordItem(ReportKindOf(item->kind), shown.c_str(), result.reason.c_str(), "restore",
                   result.outcome == RESTORED ? OUTCOME_DONE : OUTCOME_FAILED);
    }
    // Marked even when some items stayed out: a second restore would only
    // find what came back in their place.
    journal.restored = NowText();
    if (!WriteManifest(folder, journal, &problem))
        ReportMessage(MSG_ERROR, "The journal cannot be marked as restored: %s\r\n", problem.c_str());
    ReportMessage(MSG_INFO, "%u restored, %u not restored\r\n", restored, notRestored);
    FreeJournalItems(&journal);
    return notRestored ? 1 : 0;
}

}  // namespace

int RunUndoCommand(const char* which) {
    if (which && lstrcmpiA(which, "list") == 0) return ListJournals();
    if (which && *which) return Restore(FolderOf(which));
    std::string latest = LatestJournalFolder(JournalFolders());
    if (latest.empty()) {
        ReportMessage(MSG_ERROR, "No undo journal in %s\r\n", UndoRoot().c_str());
        return 1;
    }
    return Restore(UndoRoot() + "\\" + latest);
}
