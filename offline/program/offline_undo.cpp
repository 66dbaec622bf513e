// Saving before each change, offline, as the running program saves: the
// journal is a log whose first line goes to disk with the folder; each
// item's record (a small file's bytes in it, a larger one's scrambled copy
// written and flushed beside it first) is appended and flushed before its
// change is made, and a small record once the change is done, or failed,
// goes out with the next item's record or at the end of the run. A run cut
// off at any moment leaves every item it changed on record.
#include "offline/program/offline_undo.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "offline/journal_owner_posix.h"
#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "offline/offline_profiles.h"
#include "offline/program/offline_journal_place.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"
#include "script/undo_saving.h"
#include "undo/journal_log.h"
#include "undo/journal_records.h"

namespace {

const char kManifest[] = "manifest.json";

// A file saved whole: how it is said at the end of the run.
struct WholeFile {
    std::string path;   // its Windows path
    unsigned number;    // its item's
    std::string saved;  // its saved copy's name, or empty
    std::string kept;   // its bytes, when they are kept in the record
    uint64_t size;
};

struct OfflineJournal {
    char letter;
    JournalTime started;
    Journal journal;     // the header fields; items are not kept
    std::string folder;  // Windows path; empty until the first change
    int folderFd;
    int log;             // the manifest, open for appending
    off_t logSize;       // its length up to the last whole record
    JournalRecords records;
    std::vector<WholeFile> wholeFiles;
    unsigned copies;
    std::string problem;
};
OfflineJournal g_journal;

bool Fail(const std::string& problem) {
    g_journal.problem = problem;
    return false;
}

std::string ProblemOf(int error) {
    if (error == ENOSPC || error == EDQUOT) return "the disk is full";
    if (error == EACCES || error == EPERM || error == EROFS) return "access is denied";
    return "error " + std::to_string(Win32ErrorOf(error));
}

// Appends the bytes to the log, flushed to disk. A write that
// fails is taken off again, so that the next record still starts a line
// of its own; where it cannot be, nothing more is written.
bool Append(const std::string& bytes) {
    if (g_journal.log < 0) return Fail("the manifest could not be written whole before");
    if (WriteAll(g_journal.log, bytes) && fsync(g_journal.log) == 0) {
        g_journal.logSize += static_cast<off_t>(bytes.size());
        return true;
    }
    int error = errno;
    if (ftruncate(g_journal.log, g_journal.logSize) != 0) {
        close(g_journal.log);
        g_journal.log = -1;
    }
    return Fail("the manifest cannot be written: " + ProblemOf(error));
}

// The header goes into a file of another name that becomes the manifest
// once it is on disk whole: a manifest always begins with its header.
bool StartLog() {
    std::string fresh = std::string(kManifest) + ".new", header = LogHeaderLine(g_journal.journal);
    int fd = CreateJournalFileAt(g_journal.folderFd, fresh.c_str());
    bool written = fd >= 0 && WriteAll(fd, header) && fsync(fd) == 0;
    int error = errno;
    if (fd >= 0) close(fd);
    if (written && renameat(g_journal.folderFd, fresh.c_str(), g_journal.folderFd, kManifest) != 0) {
        written = false;
        error = errno;
    }
    if (written) {
        fsync(g_journal.folderFd);
        g_journal.log = openat(g_journal.folderFd, kManifest, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        error = errno;
    }
    if (written && g_journal.log >= 0) {
        g_journal.logSize = static_cast<off_t>(header.size());
        return true;
    }
    unlinkat(g_journal.folderFd, fresh.c_str(), 0);
    unlinkat(g_journal.folderFd, kManifest, 0);
    return Fail("the manifest cannot be written: " + ProblemOf(error));
}

// The journal folder, made with its log at the first change.
bool MakeFolder() {
    if (!g_journal.folder.empty()) return g_journal.log >= 0 || Fail("the manifest could not be written whole before");
    std::string problem, root;
    if (!MakeOfflineUndoRoot(g_journal.letter, &root, &problem)) return Fail(problem);
    int parent = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0) return Fail("the journal folder cannot be made");
    for (int attempt = 0; attempt < 100 && g_journal.folder.empty(); ++attempt) {
        std::string name = JournalFolderName(g_journal.started, attempt);
        g_journal.folderFd = MakeJournalFolderAt(parent, name.c_str());
        if (g_journal.folderFd >= 0) {
            g_journal.folder = OfflineUndoRoot(g_journal.letter) + "\\" + name;
            if (!StartLog()) {
                close(g_journal.folderFd);
                g_journal.folderFd = -1;
                unlinkat(parent, name.c_str(), AT_REMOVEDIR);
                g_journal.folder.clear();
                close(parent);
                return false;
            }
        } else if (errno != EEXIST) {
            break;
        }
    }
    close(parent);
    return !g_journal.folder.empty() || Fail("the journal folder cannot be made");
}

// Copies the bytes, scrambled, into the journal folder, flushed to disk
// with the folder's entry for it before the record that names it.
bool SaveCopy(const std::string& bytes, const std::string& name) {
    std::string scrambled = bytes;
    uint8_t key = UNDO_SCRAMBLE_START;
    if (!scrambled.empty()) ScrambleBytes(&scrambled[0], scrambled.size(), &key);
    int fd = CreateJournalFileAt(g_journal.folderFd, name.c_str());
    bool written = fd >= 0 && WriteAll(fd, scrambled) && fsync(fd) == 0;
    int error = errno;
    if (fd >= 0) close(fd);
    if (written && fsync(g_journal.folderFd) == 0) return true;
    unlinkat(g_journal.folderFd, name.c_str(), 0);
    return Fail("cannot save the file's bytes: " + ProblemOf(error));
}

// Saves the file's bytes and facts into a new item of the given change,
// its record on disk under *number. *whole: set up for a file saved whole.
UndoItem* SaveFile(const std::string& path, UndoChange change, const char* destination, unsigned* number,
                   WholeFile* whole) {
    std::string posix, bytes;
    struct stat st;
    if (ResolveMountedPath(path.c_str(), &posix) != MOUNTED_FOUND || lstat(posix.c_str(), &st) != 0 ||
        ReadMountedFile(posix, &bytes) != 0) {
        Fail("the file cannot be read");
        return nullptr;
    }
    if (!MakeFolder()) return nullptr;
    UndoItem* item = NewUndoItem(UNDO_FILE, change, path);
    item->attributes = 0x80;  // FILE_ATTRIBUTE_NORMAL: a Linux mount shows none
    item->size = bytes.size();
    item->written = FileTimeOfSpec(st.st_mtim);
    item->accessed = FileTimeOfSpec(st.st_atim);
    item->created = item->written;
    if (destination) item->destination = destination;
    if (bytes.size() <= UNDO_INLINE_COPY_LIMIT) {
        item->hasCopy = true;
        item->copy = bytes;
    } else {
        item->saved = SavedCopyName(++g_journal.copies);
        if (!SaveCopy(bytes, item->saved)) {
            delete item;
            return nullptr;
        }
    }
    if (!WriteItemRecord(&g_journal.records, *item, item->saved, number)) {
        delete item;
        return nullptr;
    }
    if (whole) *whole = WholeFile{path, *number, item->saved, item->hasCopy ? bytes : std::string(), item->size};
    return item;
}

bool SaveFileChange(const char* path, int change, const char* destination, void*) {
    UndoChange kind = change == UNDO_SAVE_MOVE ? UNDO_MOVE : change == UNDO_SAVE_CUT ? UNDO_CUT : UNDO_DELETE;
    unsigned number = 0;
    UndoItem* item = SaveFile(path, kind, destination, &number, nullptr);
    if (item) AwaitChange(&g_journal.records, item, number, item->saved);
    return item != nullptr;
}

// Registry changes are kept by saving each changed hive whole before it is
// written back, at the end of the run.
bool SaveRegistryValue(uint32_t, const char*, const char*, bool, uint32_t, const uint8_t*, uint32_t) { return true; }
bool SaveRegistryKey(uint32_t, const char*) { return true; }
bool SaveService(const char*) { return true; }
// An INI file is saved whole before its first change (an entry the
// installation maps to the registry is kept with its hive).
bool SaveIniEntry(const char* file, const char* section, const char* name, const char*) {
    std::string posix;
    if (IniEntryInRegistry(file, section, name) || ResolveMountedPath(file, &posix) != MOUNTED_FOUND) return true;
    return SaveWholeFileForUndo(file);
}

void ChangeDone(bool made) { ChangeOutcome(&g_journal.records, made); }

// What a cut left of the file, so that undo can tell whether it was
// changed again since.
void NoteCutResult(UndoItem* item) {
    std::string posix;
    struct stat st;
    if (ResolveMountedPath(item->path.c_str(), &posix) != MOUNTED_FOUND || lstat(posix.c_str(), &st) != 0) return;
    item->afterSize = static_cast<uint64_t>(st.st_size);
    item->afterWritten = FileTimeOfSpec(st.st_mtim);
}

void RemoveCopy(const std::string& copy) { unlinkat(g_journal.folderFd, copy.c_str(), 0); }

const JournalStorage kStorage = {Append, RemoveCopy, NoteCutResult};

const char* LastProblem() { return g_journal.problem.c_str(); }

// Nothing is left for the next start offline (nothing is in use), so there
// is never a scheduled change to note.
const UndoSaving kSaving = {SaveFileChange, SaveRegistryValue, SaveRegistryKey, SaveIniEntry,
                            SaveService,    ChangeDone,        LastProblem,     nullptr};

// Whether the file at posix still holds the bytes it was saved with.
bool StillSaved(const WholeFile& whole, const std::string& posix) {
    std::string now, saved;
    if (ReadMountedFile(posix, &now) != 0 || now.size() != whole.size) return false;
    if (whole.saved.empty()) return now == whole.kept;
    int fd = openat(g_journal.folderFd, whole.saved.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool read = fd >= 0 && ReadOpened(fd, whole.size, &saved);
    if (fd >= 0) close(fd);
    uint8_t key = UNDO_SCRAMBLE_START;
    if (!read || saved.size() != now.size()) return false;
    if (!saved.empty()) ScrambleBytes(&saved[0], saved.size(), &key);
    return saved == now;
}

}  // namespace

void BeginOfflineJournal(char driveLetter, const char* dataFile) {
    delete g_journal.records.pending;
    g_journal = OfflineJournal();
    g_journal.records.storage = &kStorage;
    g_journal.letter = driveLetter;
    g_journal.folderFd = -1;
    g_journal.log = -1;
    g_journal.started = OfflineNow();
    g_journal.journal.version = UNDO_FORMAT_VERSION;
    g_journal.journal.created = JournalTimeText(g_journal.started);
    g_journal.journal.dataFile = dataFile && *dataFile ? dataFile : "(built in)";
    g_undoSaving = &kSaving;
}

bool SaveWholeFileForUndo(const std::string& windowsPath) {
    for (const WholeFile& done : g_journal.wholeFiles)
        if (done.path == windowsPath) return true;
    WholeFile whole;
    unsigned number = 0;
    UndoItem* item = SaveFile(windowsPath, UNDO_CUT, nullptr, &number, &whole);
    if (!item) return false;
    // Said once the run is over: what the file holds then tells.
    delete item;
    g_journal.wholeFiles.push_back(whole);
    return true;
}

void NoteWholeFilesReplaced() {
    for (const WholeFile& whole : g_journal.wholeFiles) {
        std::string posix;
        struct stat st;
        MountedPathStatus status = ResolveMountedPath(whole.path.c_str(), &posix);
        if (status == MOUNTED_FOUND && StillSaved(whole, posix)) {
            g_journal.records.unwritten += LogDroppedLine(whole.number);
            if (!whole.saved.empty()) unlinkat(g_journal.folderFd, whole.saved.c_str(), 0);
            continue;
        }
        ++g_journal.records.kept;
        // A file that cannot be looked at stays in doubt: undo then looks
        // at its bytes.
        if (status != MOUNTED_FOUND || lstat(posix.c_str(), &st) != 0) continue;
        UndoItem after = {};
        after.kind = UNDO_FILE;
        after.change = UNDO_CUT;
        after.afterSize = static_cast<uint64_t>(st.st_size);
        after.afterWritten = FileTimeOfSpec(st.st_mtim);
        g_journal.records.unwritten += LogDoneLine(after, whole.number);
    }
    g_journal.wholeFiles.clear();
}

void EndOfflineJournal() {
    if (g_undoSaving != &kSaving) return;
    g_undoSaving = nullptr;
    if (g_journal.folder.empty()) return;
    if (g_journal.log >= 0) {
        WriteOutcomes(&g_journal.records);
        close(g_journal.log);
        g_journal.log = -1;
    }
    if (!EndRecords(&g_journal.records, g_journal.folder)) {
        // Every change that was saved for failed: nothing to put back.
        std::string posix;
        unlinkat(g_journal.folderFd, kManifest, 0);
        if (ResolveMountedPath(g_journal.folder.c_str(), &posix) == MOUNTED_FOUND) rmdir(posix.c_str());
    }
    close(g_journal.folderFd);
    g_journal.folderFd = -1;
    g_journal.folder.clear();
}
