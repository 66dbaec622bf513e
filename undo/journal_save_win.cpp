// Saving before each change. The item is in the manifest, and a file's
// bytes in the journal folder, before the change is made; when the change
// then fails the item is taken out again.
#include <windows.h>

#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"
#include "script/undo_saving.h"
#include "undo/journal_files_win.h"
#include "undo/system_state_win.h"
#include "undo/undo_run.h"

namespace {

const DWORD kPieceSize = 64 * 1024;

struct SaveState {
    JournalTime started;
    std::string folder;  // empty until the first change
    Journal journal;
    UndoItem* pending;  // saved, its change not yet reported
    std::string pendingCopy;
    unsigned copies;
    std::string problem;
};

SaveState g_save;

JournalTime Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return JournalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

bool Fail(const std::string& problem) {
    g_save.problem = problem;
    return false;
}

bool MakeFolder() {
    if (!g_save.folder.empty()) return true;
    std::string problem;
    if (!MakeUndoRoot(&problem)) return Fail(problem);
    std::string root = UndoRoot();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string folder = root + "\\" + JournalFolderName(g_save.started, attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            g_save.folder = folder;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return Fail("cannot create " + folder + ": " + ProblemText(GetLastError()));
    }
    return Fail("cannot create a journal folder under " + root);
}

// Puts the item into the manifest as pending. On failure the item and its
// saved copy are dropped.
bool Stage(UndoItem* item, const std::string& copy) {
    std::string problem;
    AddUndoItem(&g_save.journal, item);
    if (WriteManifest(g_save.folder, g_save.journal, &problem)) {
        g_save.pending = item;
        g_save.pendingCopy = copy;
        return true;
    }
    // Take it off the end again.
    UndoItem** link = &g_save.journal.items;
    while (*link != item) link = &(*link)->next;
    *link = nullptr;
    g_save.journal.last = nullptr;
    for (UndoItem* i = g_save.journal.items; i; i = i->next) g_save.journal.last = i;
    delete item;
    if (!copy.empty()) DeleteFileA(copy.c_str());
    return Fail(problem);
}

// Copies the file, scrambled, into the journal folder: through held, the
// file held open for the change, where there is one.
bool SaveCopy(const char* path, HANDLE held, const std::string& copy) {
    HANDLE in = held;
    if (in) {
        if (SetFilePointer(in, 0, nullptr, FILE_BEGIN) != 0)
            return Fail("cannot read the file: " + ProblemText(GetLastError()));
    } else {
        in = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE) return Fail("cannot read the file: " + ProblemText(GetLastError()));
    }
    HANDLE out = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (in != held) CloseHandle(in);
        return Fail("cannot create " + copy + ": " + ProblemText(error));
    }
    std::string piece(kPieceSize, '\0');
    uint8_t key = UNDO_SCRAMBLE_START;
    DWORD error = 0;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in, &piece[0], kPieceSize, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        ScrambleBytes(&piece[0], got, &key);
        if (!WriteFile(out, piece.data(), got, &put, nullptr)) {
            error = GetLastError();
            break;
        }
        if (put != got) {  // a short write is a full disk
            error = ERROR_DISK_FULL;
            break;
        }
    }
    if (in != held) CloseHandle(in);
    CloseHandle(out);
    if (error == 0) return true;
    DeleteFileA(copy.c_str());
    return Fail("cannot save the file's bytes: " + ProblemText(error));
}

// What the item keeps of the file besides its bytes, as a search gives it.
struct FileFacts {
    DWORD attributes;
    DWORD sizeHigh, sizeLow;
    FILETIME created, accessed, written;
};

bool FactsOfHeld(HANDLE held, FileFacts* facts) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(held, &information)) return false;
    *facts = FileFacts{information.dwFileAttributes, information.nFileSizeHigh, information.nFileSizeLow,
                       information.ftCreationTime,   information.ftLastAccessTime, information.ftLastWriteTime};
    return true;
}

bool FactsAtPath(const char* path, FileFacts* facts) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    *facts = FileFacts{found.dwFileAttributes, found.nFileSizeHigh,    found.nFileSizeLow,
                       found.ftCreationTime,   found.ftLastAccessTime, found.ftLastWriteTime};
    return true;
}

bool SaveFile(const char* path, int change, const char* destination, void* file) {
    static const UndoChange kChanges[] = {UNDO_DELETE, UNDO_MOVE, UNDO_CUT};
    if (change < 0 || change > UNDO_SAVE_CUT) return Fail("unknown kind of change");
    HANDLE held = static_cast<HANDLE>(file);
    FileFacts found;
    if (held) {
        if (!FactsOfHeld(held, &found)) return Fail("cannot read the file: " + ProblemText(GetLastError()));
    } else if (!FactsAtPath(path, &found)) {
        return true;  // a file that is not there is not changed either
    }
    if (!MakeFolder()) return false;
    UndoItem* item = NewUndoItem(UNDO_FILE, kChanges[change], path);
    if (destination) item->destination = destination;
    item->saved = SavedCopyName(++g_save.copies);
    item->attributes = found.attributes;
    item->size = static_cast<uint64_t>(found.sizeHigh) << 32 | found.sizeLow;
    item->created = FileTimeValue(found.created);
    item->accessed = FileTimeValue(found.accessed);
    item->written = FileTimeValue(found.written);
    std::string copy = g_save.folder + "\\" + item->saved;
    if (!SaveCopy(path, held, copy)) {
        delete item;
        return false;
    }
    return Stage(item, copy);
}

bool SaveRegistryValue(uint32_t root, const char* key, const char* name, bool reset, uint32_t newType,
                       const uint8_t* newData, uint32_t newSize) {
    HKEY opened;
    if (RegOpenKeyExA(UndoRootKey(root), key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return true;
    UndoItem* item = NewUndoItem(UNDO_REGISTRY_VALUE, reset ? UNDO_RESET : UNDO_DELETE, key);
    item->root = root;
    item->name = name;
    bool there = ReadRegistryValue(opened, name, &item->type, &item->data);
    RegCloseKey(opened);
    if (!there) {
        delete item;
        return true;
    }
    if (reset) {
        item->hasNewData = true;
        item->newType = newType;
        item->newData.assign(reinterpret_cast<const char*>(newData), newSize);
    }
    if (!MakeFolder()) {
        delete item;
        return false;
    }
    return Stage(item, "");
}

bool SaveRegistryKey(uint32_t root, const char* key) {
    UndoItem* item = NewUndoItem(UNDO_REGISTRY_KEY, UNDO_DELETE, key);
    item->root = root;
    if (!ReadRegistryTree(root, key, &item->keyEntries)) {
        delete item;
        return true;
    }
    if (!MakeFolder()) {
        delete item;
        return false;
    }
    return Stage(item, "");
}

// Tells a missing entry from an empty one.
const char kMissing[] = "\x01mendrix-missing\x01";

bool SaveIniEntry(const char* file, const char* section, const char* name, const char* newText) {
    std::string old(32768, '\0');
    DWORD length = GetPrivateProfileStringA(section, name, kMissing, &old[0], static_cast<DWORD>(old.size()), file);
    old.resize(length);
    if (old == kMissing) return true;
    UndoItem* item = NewUndoItem(UNDO_INI_ENTRY, newText ? UNDO_RESET : UNDO_DELETE, file);
    item->section = section;
    item->name = name;
    item->data = old;
    if (newText) {
        item->hasNewData = true;
        item->newData = newText;
    }
    if (!MakeFolder()) {
        delete item;
        return false;
    }
    return Stage(item, "");
}

bool SaveService(const char* name) {
    UndoItem* item = NewUndoItem(UNDO_SERVICE, UNDO_DELETE, name);
    ServiceLookup lookup = ReadServiceConfig(name, &item->service);
    if (lookup != SERVICE_FOUND) {
        delete item;
        if (lookup == SERVICE_UNREADABLE) return Fail("its settings cannot be read");
        return true;
    }
    if (!MakeFolder()) {
        delete item;
        return false;
    }
    return Stage(item, "");
}

// A cut file as the cut left it, so that -undo can tell whether it was
// changed again since.
void NoteCutResult(UndoItem* item) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(item->path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    item->afterSize = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
    item->afterWritten = FileTimeValue(found.ftLastWriteTime);
}

void ChangeDone(bool made) {
    UndoItem* item = g_save.pending;
    if (!item) return;
    g_save.pending = nullptr;
    std::string problem;
    if (made) {
        if (item->kind == UNDO_FILE && item->change == UNDO_CUT) {
            NoteCutResult(item);
            WriteManifest(g_save.folder, g_save.journal, &problem);
        }
        return;
    }
    UndoItem** link = &g_save.journal.items;
    while (*link != item) link = &(*link)->next;
    *link = item->next;
    g_save.journal.last = nullptr;
    for (UndoItem* i = g_save.journal.items; i; i = i->next) g_save.journal.last = i;
    delete item;
    if (!g_save.pendingCopy.empty()) DeleteFileA(g_save.pendingCopy.c_str());
    WriteManifest(g_save.folder, g_save.journal, &problem);
}

const char* LastProblem() { return g_save.problem.c_str(); }

// The change waits for the next start: the item stays, naming the pending
// operation that -undo takes back out.
void ChangeScheduled(const char* entry) {
    if (g_save.pending) {
        g_save.pending->scheduled = entry;
        std::string problem;
        WriteManifest(g_save.folder, g_save.journal, &problem);
    }
    ChangeDone(true);
}

const UndoSaving kSaving = {SaveFile, SaveRegistryValue, SaveRegistryKey, SaveIniEntry,
                            SaveService, ChangeDone, LastProblem, ChangeScheduled};

}  // namespace

void BeginUndoJournal(const char* dataFile) {
    FreeJournalItems(&g_save.journal);
    g_save = SaveState();
    g_save.started = Now();
    g_save.journal.version = UNDO_FORMAT_VERSION;
    g_save.journal.created = JournalTimeText(g_save.started);
    g_save.journal.dataFile = dataFile && *dataFile ? dataFile : "(built in)";
    g_undoSaving = &kSaving;
}

void EndUndoJournal() {
    if (g_undoSaving != &kSaving) return;
    g_undoSaving = nullptr;
    if (g_save.folder.empty()) return;
    if (g_save.journal.items) {
        ReportMessage(MSG_INFO, "\r\nUndo journal: %s\r\n", g_save.folder.c_str());
        CopyBounded(g_runFacts.undoJournal, sizeof g_runFacts.undoJournal, g_save.folder.c_str());
    } else {
        // Every change that was saved for failed: nothing to put back.
        DeleteFileA(ManifestPath(g_save.folder).c_str());
        RemoveDirectoryA(g_save.folder.c_str());
    }
    FreeJournalItems(&g_save.journal);
    g_save.folder.clear();
}
