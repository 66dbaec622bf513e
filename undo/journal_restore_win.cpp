// Putting a journal back: every item is restored where nothing has taken
// its place since, and each one is reported on a line of its own. An item
// left in doubt by a run that was cut off is restored only where its change
// did happen. On the NT family a journal is read only when it belongs to an
// administrator: its items are carried out with full rights.
#include <windows.h>

#include "disk/restart_removal_win.h"
#include "undo/journal_files_win.h"
#include "undo/journal_restore.h"
#include "undo/journal_security_win.h"
#include "undo/system_state_win.h"
#include "undo/undo_run.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const DWORD kPieceSize = 64 * 1024;

uint64_t SizeOf(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return ~0ull;
    return static_cast<uint64_t>(high) << 32 | low;
}

// The saved bytes of a file item: its saved copy, unscrambled as it is
// read, or the bytes the item holds itself.
struct SavedBytes {
    HANDLE file;              // the saved copy, or INVALID_HANDLE_VALUE
    const std::string* kept;  // the item's own bytes, or null
    size_t at;
    uint8_t key;
};

void Rewind(SavedBytes* saved) {
    saved->at = 0;
    saved->key = UNDO_SCRAMBLE_START;
    if (saved->file != INVALID_HANDLE_VALUE) SetFilePointer(saved->file, 0, nullptr, FILE_BEGIN);
}

// Opens the item's saved bytes and checks them against its size; on the NT
// family a saved copy must belong to an administrator too. Answers the
// problem, or "".
std::string OpenSaved(const std::string& folder, const UndoItem& item, SavedBytes* saved) {
    *saved = SavedBytes{INVALID_HANDLE_VALUE, nullptr, 0, UNDO_SCRAMBLE_START};
    const std::string missing = "its saved copy is missing or damaged";
    if (item.hasCopy) {
        saved->kept = &item.copy;
        return item.copy.size() == item.size ? "" : missing;
    }
    bool guarded = JournalsGuarded();
    HANDLE copy = CreateFileA((folder + "\\" + item.saved).c_str(), GENERIC_READ | (guarded ? READ_CONTROL : 0),
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return missing;
    std::string who;
    TrustVerdict verdict = guarded ? JudgeHandle(copy, false, &who) : TRUSTED;
    std::string problem = verdict != TRUSTED ? TrustProblem(verdict, "saved copy", who)
                          : SizeOf(copy) != item.size ? missing
                                                      : "";
    if (problem.empty())
        saved->file = copy;
    else
        CloseHandle(copy);
    return problem;
}

void CloseSaved(SavedBytes* saved) {
    if (saved->file != INVALID_HANDLE_VALUE) CloseHandle(saved->file);
    saved->file = INVALID_HANDLE_VALUE;
}

// Reads the next piece of the saved bytes. False at a read error.
bool ReadPiece(SavedBytes* saved, std::string* piece, DWORD* got) {
    if (saved->kept) {
        size_t count = saved->kept->size() - saved->at;
        if (count > kPieceSize) count = kPieceSize;
        saved->kept->copy(&(*piece)[0], count, saved->at);
        saved->at += count;
        *got = static_cast<DWORD>(count);
        return true;
    }
    if (!ReadFile(saved->file, &(*piece)[0], kPieceSize, got, nullptr)) return false;
    ScrambleBytes(&(*piece)[0], *got, &saved->key);
    return true;
}

// Writes the saved bytes into a new file at path, with the item's times;
// the attributes are set afterwards. A failed write leaves no file.
RestoreResult WriteNewFile(const std::string& path, SavedBytes* saved, const UndoItem& item) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ItemFailed(ProblemText(GetLastError()));
    Rewind(saved);
    std::string piece(kPieceSize, '\0');
    DWORD error = 0;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadPiece(saved, &piece, &got)) {
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
        return ItemFailed(ProblemText(error));
    }
    return ItemRestored();
}

// Whether the file at path holds exactly the saved bytes.
bool HoldsSavedBytes(const std::string& path, SavedBytes* saved, const UndoItem& item) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool same = SizeOf(file) == item.size;
    Rewind(saved);
    std::string piece(kPieceSize, '\0'), there(kPieceSize, '\0');
    while (same) {
        DWORD got = 0, read = 0;
        same = ReadPiece(saved, &piece, &got) && ReadFile(file, &there[0], got ? got : 1, &read, nullptr) &&
               read == got && piece.compare(0, got, there, 0, got) == 0;
        if (got == 0) break;
    }
    CloseHandle(file);
    return same;
}

// An item in doubt whose file is still as it was: only the attributes,
// which go before the change, may have been taken.
RestoreResult Unchanged(const UndoItem& item) {
    SetFileAttributesA(item.path.c_str(), item.attributes);
    return ItemNotNeeded();
}

// Puts the saved bytes in place of the file at the item's path: written
// beside it first, so that the file goes only once its old bytes are all on
// disk again.
RestoreResult ReplaceFile(SavedBytes* saved, const UndoItem& item) {
    std::string beside = item.path + ".mdx-undo";
    DeleteFileA(beside.c_str());
    RestoreResult result = WriteNewFile(beside, saved, item);
    if (result.outcome != RESTORE_DONE) return result;
    SetFileAttributesA(item.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(item.path.c_str()) || !MoveFileA(beside.c_str(), item.path.c_str())) {
        DWORD error = GetLastError();
        DeleteFileA(beside.c_str());
        return ItemFailed(ProblemText(error));
    }
    SetFileAttributesA(item.path.c_str(), item.attributes);
    return result;
}

RestoreResult RestoreCutFile(SavedBytes* saved, const UndoItem& item) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(item.path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return ItemLeftAlone("it is no longer there");
    FindClose(search);
    if (item.inDoubt) {
        // What the cut left is not on record: a file that still holds its
        // old bytes was not cut, and any other was.
        if (HoldsSavedBytes(item.path, saved, item)) return Unchanged(item);
        return ReplaceFile(saved, item);
    }
    uint64_t size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
    if (size != item.afterSize || FileTimeValue(found.ftLastWriteTime) != item.afterWritten)
        return ItemLeftAlone("it was changed again since the run");
    return ReplaceFile(saved, item);
}

// A file left for the next start is put back by taking the pending
// operation out while it still waits: the file never left its place, and
// only its attributes, cleared before the change, come back. Answers false
// when the file is to be restored from its copy as usual (Windows has
// started since, or the file went meanwhile).
bool TookBackScheduled(const UndoItem& item, RestoreResult* result) {
    switch (TakeBackAtRestart(item.scheduled.c_str(), item.change == UNDO_MOVE)) {
    case RESTART_TAKEN_BACK:
        if (!Exists(item.path)) return false;
        SetFileAttributesA(item.path.c_str(), item.attributes);
        *result = ItemRestored();
        return true;
    case RESTART_NOT_PENDING:
        return false;
    case RESTART_CANNOT_TAKE_BACK:
        break;
    }
    *result = ItemFailed("what was to happen to it when Windows restarts cannot be taken back");
    return true;
}

RestoreResult RestoreFile(const std::string& folder, const UndoItem& item) {
    RestoreResult waiting;
    if (!item.scheduled.empty() && TookBackScheduled(item, &waiting)) return waiting;
    SavedBytes saved;
    std::string problem = OpenSaved(folder, item, &saved);
    if (!problem.empty()) return ItemFailed(problem);
    RestoreResult result;
    if (item.change == UNDO_CUT) {
        result = RestoreCutFile(&saved, item);
    } else if (Exists(item.path)) {
        result = item.inDoubt && HoldsSavedBytes(item.path, &saved, item) ? Unchanged(item)
                 : item.inDoubt                                            ? ItemNotNeeded()
                                                                           : ItemLeftAlone("it exists again");
    } else {
        result = WriteNewFile(item.path, &saved, item);
        if (result.outcome == RESTORE_DONE) SetFileAttributesA(item.path.c_str(), item.attributes);
        // The moved file goes away only where it is still what was moved.
        if (result.outcome == RESTORE_DONE && item.change == UNDO_MOVE && !item.destination.empty() &&
            HoldsSavedBytes(item.destination, &saved, item)) {
            SetFileAttributesA(item.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(item.destination.c_str());
        }
    }
    CloseSaved(&saved);
    return result;
}

RestoreResult RestoreRegistryValue(const UndoItem& item) {
    HKEY key;
    if (RegCreateKeyExA(UndoRootKey(item.root), item.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return ItemFailed("its key cannot be opened");
    uint32_t type = 0;
    std::string data;
    bool there = ReadRegistryValue(key, item.name, &type, &data) == ERROR_SUCCESS;
    bool untouched = there && type == item.type && data == item.data;
    RestoreResult result = ItemRestored();
    if (item.inDoubt && (item.change == UNDO_DELETE ? there : untouched))
        result = ItemNotNeeded();
    else if (item.change == UNDO_DELETE && there)
        result = ItemLeftAlone("it was set again");
    else if (item.change == UNDO_RESET && (!there || type != item.newType || data != item.newData))
        result = ItemLeftAlone("it was changed again since the run");
    else if (RegSetValueExA(key, item.name.c_str(), 0, item.type, reinterpret_cast<const BYTE*>(item.data.data()),
                            static_cast<DWORD>(item.data.size())) != ERROR_SUCCESS)
        result = ItemFailed("it cannot be written");
    RegFlushKey(key);
    RegCloseKey(key);
    return result;
}

RestoreResult RestoreRegistryKey(const UndoItem& item) {
    HKEY root = UndoRootKey(item.root);
    HKEY key;
    if (RegOpenKeyExA(root, item.path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return item.inDoubt ? ItemNotNeeded() : ItemLeftAlone("it exists again");
    }
    if (RegCreateKeyExA(root, item.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return ItemFailed("it cannot be created");
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
    return ok ? ItemRestored() : ItemFailed("some of its values cannot be written");
}

const char kMissing[] = "\x01mendrix-missing\x01";

RestoreResult RestoreIniEntry(const UndoItem& item) {
    const char* file = item.path.c_str();
    // The profile functions keep a cached copy of the file: it is dropped
    // first, so that the reading sees the file as it is now.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    std::string now(32768, '\0');
    DWORD length = GetPrivateProfileStringA(item.section.c_str(), item.name.c_str(), kMissing, &now[0],
                                            static_cast<DWORD>(now.size()), file);
    now.resize(length);
    if (item.inDoubt && (item.change == UNDO_DELETE ? now != kMissing : lstrcmpiA(now.c_str(), item.data.c_str()) == 0))
        return ItemNotNeeded();
    if (item.change == UNDO_DELETE && now != kMissing) return ItemLeftAlone("it was set again");
    if (item.change == UNDO_RESET && lstrcmpiA(now.c_str(), item.newData.c_str()) != 0)
        return ItemLeftAlone("it was changed again since the run");
    if (!WritePrivateProfileStringA(item.section.c_str(), item.name.c_str(), item.data.c_str(), file))
        return ItemFailed("the file cannot be written");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    return ItemRestored();
}

RestoreResult RestoreService(const UndoItem& item) {
    UndoService current;
    ServiceLookup lookup = ReadServiceConfig(item.path, &current);
    if (lookup == SERVICE_FOUND || lookup == SERVICE_UNREADABLE)
        return item.inDoubt ? ItemNotNeeded() : ItemLeftAlone("it exists again");
    if (lookup == SERVICE_NO_MANAGER) return ItemFailed("this system has no service manager");
    DWORD error = CreateSavedService(item.path, item.service);
    if (error == ERROR_SERVICE_EXISTS) return ItemLeftAlone("it exists again");
    return error ? ItemFailed(ProblemText(error)) : ItemRestored();
}

RestoreResult RestoreItem(const std::string& folder, const UndoItem& item) {
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
    return ItemFailed(item.problem);
}

// The journals of this machine, on the drive that holds Windows.
bool HasManifest(const std::string& folder) { return Exists(ManifestPath(folder)); }

std::string NowText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return JournalTimeText(JournalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}

}  // namespace

int RunUndoCommand(const char* which) {
    JournalShelf shelf = {UndoRoot(), JournalFolders, HasManifest, ReadManifest, RestoreItem, MarkRestored, NowText};
    return RunJournalRestore(shelf, which);
}
