// Saving before each change. The journal is a log: each item's record, with
// the bytes of a small file in it or a saved copy of a larger one beside it,
// is written and flushed before its change is made; a small record once the
// change is done goes out with the next item's record (a run cut off before
// it leaves that item in doubt, which -undo then looks into). The cost of a
// change does not grow with the changes before it.
#include <windows.h>

#include "disk/nt_family_win.h"
#include "disk/nt_file_information_win.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/function_lookup_win.h"
#include "script/text_util.h"
#include "script/undo_saving.h"
#include "undo/journal_files_win.h"
#include "undo/journal_log.h"
#include "undo/journal_place_win.h"
#include "undo/system_state_win.h"
#include "undo/journal_records.h"
#include "undo/undo_run.h"

namespace {

const DWORD kPieceSize = 64 * 1024;
// The log grows this much at a time, ahead of its records, by zero bytes
// written in place: a record's flush then writes its own bytes into room
// the file already has, without the file's new length or new room on disk
// each time, which costs about as much again. What is not yet written reads
// as zero bytes, a last line that never ended, which the reader passes
// over; the run's end cuts it off.
const DWORD kLogGrowth = 1024 * 1024;
const DWORD kZeroPiece = 64 * 1024;

struct SaveState {
    JournalTime started;
    Journal journal;     // the header fields; items are not kept
    std::string folder;  // empty until the first change
    HANDLE log;          // the manifest, open for appending
    DWORD logSize;       // its length up to the last whole record
    DWORD logEnd;        // its length on disk, grown ahead of the records
    JournalRecords records;
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

// Sets the log's length on disk and its file pointer back at the end of its
// records.
bool SetLogEnd(DWORD end) {
    bool set = SetFilePointer(g_save.log, static_cast<LONG>(end), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               SetEndOfFile(g_save.log);
    if (set) g_save.logEnd = end;
    SetFilePointer(g_save.log, static_cast<LONG>(g_save.logSize), nullptr, FILE_BEGIN);
    return set;
}

// Grows the log by zero bytes past its end on disk, as far as the disk lets
// it: where it cannot (a full disk), the record's own write says so.
void GrowLog(DWORD want) {
    static const std::string zeros(kZeroPiece, '\0');
    if (SetFilePointer(g_save.log, static_cast<LONG>(g_save.logEnd), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
        while (g_save.logEnd < want) {
            DWORD written = 0;
            if (!WriteFile(g_save.log, zeros.data(), kZeroPiece, &written, nullptr) || written == 0) break;
            g_save.logEnd += written;
        }
    SetFilePointer(g_save.log, static_cast<LONG>(g_save.logSize), nullptr, FILE_BEGIN);
}

// Writes the bytes at the end of the log and flushes them to disk. A write
// that fails is taken off again, so that the next record still starts a
// line of its own.
bool Append(const std::string& bytes) {
    DWORD written = 0;
    DWORD error = 0;
    if (g_save.logSize + bytes.size() > g_save.logEnd)
        GrowLog(g_save.logSize + static_cast<DWORD>(bytes.size()) + kLogGrowth);
    if (!WriteFile(g_save.log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        error = GetLastError();
    else if (written != bytes.size())
        error = ERROR_DISK_FULL;  // a short write is a full disk
    else if (!FlushFileBuffers(g_save.log))
        error = GetLastError();
    if (error == 0) {
        g_save.logSize += written;
        return true;
    }
    if (written) {
        if (!SetLogEnd(g_save.logSize)) {
            // A record cut in two would swallow the next: nothing more is
            // written, and no change is made unsaved.
            CloseHandle(g_save.log);
            g_save.log = INVALID_HANDLE_VALUE;
        }
    }
    return Fail("the manifest cannot be written: " + ProblemText(error));
}

// The log's first line goes into a file of another name that becomes the
// manifest once it is on disk whole: a manifest always begins with its
// header, however early the run is cut off.
bool StartLog(std::string* problem) {
    std::string manifest = ManifestPath(g_save.folder), fresh = manifest + ".new";
    HANDLE file = CreateJournalFile(fresh);
    if (file == INVALID_HANDLE_VALUE) {
        *problem = "cannot create " + fresh + ": " + ProblemText(GetLastError());
        return false;
    }
    std::string header = LogHeaderLine(g_save.journal);
    DWORD written = 0, error = 0;
    if (!WriteFile(file, header.data(), static_cast<DWORD>(header.size()), &written, nullptr) ||
        !FlushFileBuffers(file))
        error = GetLastError();
    else if (written != header.size())
        error = ERROR_DISK_FULL;
    CloseHandle(file);
    if (!error && !MoveFileA(fresh.c_str(), manifest.c_str())) error = GetLastError();
    if (!error) {
        g_save.log = CreateFileA(manifest.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (g_save.log == INVALID_HANDLE_VALUE ||
            SetFilePointer(g_save.log, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
            error = GetLastError();
    }
    if (!error) {
        g_save.logSize = g_save.logEnd = static_cast<DWORD>(header.size());
        return true;
    }
    if (g_save.log != INVALID_HANDLE_VALUE) CloseHandle(g_save.log);
    g_save.log = INVALID_HANDLE_VALUE;
    DeleteFileA(fresh.c_str());
    DeleteFileA(manifest.c_str());
    *problem = "the manifest cannot be written: " + ProblemText(error);
    return false;
}

bool MakeFolder() {
    if (!g_save.folder.empty()) {
        if (g_save.log != INVALID_HANDLE_VALUE) return true;
        return Fail("the manifest could not be written whole before");
    }
    std::string problem;
    if (!MakeJournalFolder(g_save.started, &g_save.folder, &problem)) return Fail(problem);
    if (StartLog(&problem)) return true;
    RemoveDirectoryA(g_save.folder.c_str());
    g_save.folder.clear();
    return Fail(problem);
}

// Writes the item's record, and awaits its change. On failure the item and
// its saved copy are dropped.
bool Stage(UndoItem* item, const std::string& copy) {
    unsigned number = 0;
    if (WriteItemRecord(&g_save.records, *item, copy, &number)) {
        AwaitChange(&g_save.records, item, number, copy);
        return true;
    }
    delete item;
    return false;
}

// The file to read: through held, the file held open for the change, where
// there is one, from its start.
HANDLE OpenToRead(const char* path, HANDLE held) {
    if (held) return SetFilePointer(held, 0, nullptr, FILE_BEGIN) == 0 ? held : INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A small file's bytes, for its record.
bool ReadSmallFile(const char* path, HANDLE held, std::string* bytes) {
    HANDLE in = OpenToRead(path, held);
    if (in == INVALID_HANDLE_VALUE) return Fail("cannot read the file: " + ProblemText(GetLastError()));
    // One byte more than the limit tells a file that grew since it was looked at.
    bytes->assign(UNDO_INLINE_COPY_LIMIT + 1, '\0');
    DWORD got = 0;
    bool read = ReadFile(in, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) != FALSE;
    DWORD error = GetLastError();
    if (in != held) CloseHandle(in);
    if (!read) return Fail("cannot read the file: " + ProblemText(error));
    bytes->resize(got);
    return true;
}

// Copies a larger file, scrambled, into the journal folder, and flushes the
// copy to disk before its record is written. *copied: how many bytes the
// copy holds, which the item then names as the file's size.
bool SaveCopy(const char* path, HANDLE held, const std::string& copy, uint64_t* copied) {
    *copied = 0;
    HANDLE in = OpenToRead(path, held);
    if (in == INVALID_HANDLE_VALUE) return Fail("cannot read the file: " + ProblemText(GetLastError()));
    HANDLE out = CreateJournalFile(copy);
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
        *copied += got;
    }
    if (!error && !FlushFileBuffers(out)) error = GetLastError();
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

typedef LONG(WINAPI* NtQueryInformationFileFunction)(HANDLE file, IoStatusBlock* io, void* information,
                                                     ULONG length, ULONG informationClass);

// The held file's attributes and times through ntdll, where there is one:
// GetFileInformationByHandle asks for the volume's serial number as well,
// which costs more than all the rest of a change's saving under Wine.
bool BasicFactsOfHeld(HANDLE held, FileFacts* facts) {
    static NtQueryInformationFileFunction query;
    static bool lookedUp;
    if (!lookedUp) {
        lookedUp = true;
        if (OnNtFamily()) LookUpFunction(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile", &query);
    }
    NtBasicInformation basic;
    IoStatusBlock io = {};
    if (!query || query(held, &io, &basic, sizeof basic, NT_FILE_BASIC_INFORMATION) < 0) return false;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(held, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    auto time = [](int64_t value) { return FileTimeOf(static_cast<uint64_t>(value)); };
    *facts = FileFacts{basic.fileAttributes, high, low, time(basic.creationTime), time(basic.lastAccessTime),
                       time(basic.lastWriteTime)};
    return true;
}

bool FactsOfHeld(HANDLE held, FileFacts* facts) {
    if (BasicFactsOfHeld(held, facts)) return true;
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
    item->attributes = found.attributes;
    item->size = static_cast<uint64_t>(found.sizeHigh) << 32 | found.sizeLow;
    item->created = FileTimeValue(found.created);
    item->accessed = FileTimeValue(found.accessed);
    item->written = FileTimeValue(found.written);
    std::string copy;
    bool saved = true;
    if (item->size <= UNDO_INLINE_COPY_LIMIT) {
        saved = ReadSmallFile(path, held, &item->copy);
        item->hasCopy = item->copy.size() <= UNDO_INLINE_COPY_LIMIT;
        if (item->hasCopy) item->size = item->copy.size();
    }
    // A larger file, or one that grew since it was looked at.
    if (saved && !item->hasCopy) {
        item->copy.clear();
        item->saved = SavedCopyName(++g_save.copies);
        copy = g_save.folder + "\\" + item->saved;
        saved = SaveCopy(path, held, copy, &item->size);
    }
    if (!saved) {
        delete item;
        return false;
    }
    return Stage(item, copy);
}

bool SaveRegistryValue(uint32_t root, const char* key, const char* name, bool reset, uint32_t newType,
                       const uint8_t* newData, uint32_t newSize) {
    HKEY opened;
    LONG result = RegOpenKeyExA(UndoRootKey(root), key, 0, KEY_READ, &opened);
    // Only a value that is not there is not saved: one that cannot be read
    // might still be changed.
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) return Fail("its key cannot be read: " + ProblemText(static_cast<DWORD>(result)));
    UndoItem* item = NewUndoItem(UNDO_REGISTRY_VALUE, reset ? UNDO_RESET : UNDO_DELETE, key);
    item->root = root;
    item->name = name;
    result = ReadRegistryValue(opened, name, &item->type, &item->data);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS) {
        delete item;
        if (result == ERROR_FILE_NOT_FOUND) return true;
        return Fail("it cannot be read: " + ProblemText(static_cast<DWORD>(result)));
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
    std::string problem;
    TreeRead read = ReadRegistryTree(root, key, &item->keyEntries, &problem);
    if (read != TREE_READ) {
        delete item;
        return read == TREE_MISSING || Fail(problem);
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

void ChangeDone(bool made) { ChangeOutcome(&g_save.records, made); }

const char* LastProblem() { return g_save.problem.c_str(); }

// The change waits for the next start: the item stays, naming the pending
// operation that -undo takes back out. Its record goes to disk at once: a
// pending operation is nothing a later look at the file would find, so it
// cannot be left in doubt.
void ChangeScheduled(const char* entry) {
    if (g_save.records.pending) g_save.records.pending->scheduled = entry;
    ChangeDone(true);
    if (g_save.log != INVALID_HANDLE_VALUE) WriteOutcomes(&g_save.records);
}

void RemoveCopy(const std::string& copy) { DeleteFileA(copy.c_str()); }

const JournalStorage kStorage = {Append, RemoveCopy, NoteCutResult};

const UndoSaving kSaving = {SaveFile, SaveRegistryValue, SaveRegistryKey, SaveIniEntry,
                            SaveService, ChangeDone, LastProblem, ChangeScheduled};

}  // namespace

void BeginUndoJournal(const char* dataFile) {
    delete g_save.records.pending;
    g_save = SaveState();
    g_save.records.storage = &kStorage;
    g_save.log = INVALID_HANDLE_VALUE;
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
    if (g_save.log != INVALID_HANDLE_VALUE) {
        WriteOutcomes(&g_save.records);
        SetLogEnd(g_save.logSize);
        CloseHandle(g_save.log);
        g_save.log = INVALID_HANDLE_VALUE;
    }
    if (!EndRecords(&g_save.records, g_save.folder)) {
        // Every change that was saved for failed: nothing to put back.
        DeleteFileA(ManifestPath(g_save.folder).c_str());
        RemoveDirectoryA(g_save.folder.c_str());
    }
    g_save.folder.clear();
}
