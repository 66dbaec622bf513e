#include "offline/program/offline_undo.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "offline/offline_profiles.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/undo_saving.h"
#include "undo/journal.h"

namespace {

const uint64_t kUnixEpoch = 116444736000000000ull;  // 1970 as a FILETIME

struct OfflineJournal {
    char letter;
    std::string dataFile;
    std::string folder;  // Windows path; empty until the first change
    Journal journal;
    UndoItem* pending;   // the item of the change being made
    std::vector<std::string> wholeFiles;  // saved whole already
    std::string problem;
    unsigned saved;
};
OfflineJournal g_journal;

uint64_t FileTimeOf(const struct timespec& t) {
    return kUnixEpoch + static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}

struct timespec TimespecOf(uint64_t fileTime) {
    struct timespec t;
    uint64_t since = fileTime > kUnixEpoch ? fileTime - kUnixEpoch : 0;
    t.tv_sec = static_cast<time_t>(since / 10000000ull);
    t.tv_nsec = static_cast<long>(since % 10000000ull) * 100;
    return t;
}

JournalTime Now() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return JournalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string UndoRoot(char letter) { return std::string(1, letter) + ":\\Mendrix\\Undo"; }

// Makes each folder of the Windows path that is missing; never through a link.
bool MakeFolders(const std::string& windowsPath) {
    for (size_t at = 3; at <= windowsPath.size(); ++at) {
        if (at != windowsPath.size() && windowsPath[at] != '\\') continue;
        std::string posix;
        MountedPathStatus status = ResolveMountedPath(windowsPath.substr(0, at).c_str(), &posix);
        if (status == MOUNTED_MISSING && mkdir(posix.c_str(), 0755) != 0) return false;
        if (status != MOUNTED_MISSING && status != MOUNTED_FOUND) return false;
    }
    return true;
}

bool Fail(const char* problem) {
    g_journal.problem = problem;
    return false;
}

bool WriteManifest() {
    std::string posix;
    if (ResolveMountedPath((g_journal.folder + "\\manifest.json").c_str(), &posix) > MOUNTED_MISSING) return false;
    return ReplaceMountedFile(posix, ManifestText(g_journal.journal)) == 0;
}

// The journal folder, made at the first change.
bool EnsureFolder() {
    if (!g_journal.folder.empty()) return true;
    JournalTime now = Now();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string folder = UndoRoot(g_journal.letter) + "\\" + JournalFolderName(now, attempt), posix;
        MountedPathStatus status = ResolveMountedPath(folder.c_str(), &posix);
        if (status == MOUNTED_FOUND) continue;
        if (status != MOUNTED_MISSING && status != MOUNTED_NO_FOLDER) break;
        if (!MakeFolders(folder)) break;
        g_journal.folder = folder;
        g_journal.journal.created = JournalTimeText(now);
        return true;
    }
    return Fail("the journal folder cannot be made");
}

// Saves the file's bytes and facts into a new item of the given change.
bool SaveFile(const std::string& path, UndoChange change, const char* destination) {
    std::string posix, bytes;
    struct stat st;
    if (ResolveMountedPath(path.c_str(), &posix) != MOUNTED_FOUND || lstat(posix.c_str(), &st) != 0)
        return Fail("the file cannot be read");
    if (ReadMountedFile(posix, &bytes) != 0) return Fail("the file cannot be read");
    if (!EnsureFolder()) return false;
    std::string name = SavedCopyName(++g_journal.saved), copy;
    uint8_t key = UNDO_SCRAMBLE_START;
    std::string scrambled = bytes;
    ScrambleBytes(&scrambled[0], scrambled.size(), &key);
    if (ResolveMountedPath((g_journal.folder + "\\" + name).c_str(), &copy) != MOUNTED_MISSING ||
        ReplaceMountedFile(copy, scrambled) != 0)
        return Fail("the saved copy cannot be written");
    UndoItem* item = NewUndoItem(UNDO_FILE, change, path);
    item->saved = name;
    item->attributes = 0x80;  // FILE_ATTRIBUTE_NORMAL: a Linux mount shows none
    item->size = bytes.size();
    item->written = FileTimeOf(st.st_mtim);
    item->accessed = FileTimeOf(st.st_atim);
    item->created = item->written;
    if (destination) item->destination = destination;
    AddUndoItem(&g_journal.journal, item);
    if (!WriteManifest()) return Fail("the journal cannot be written");
    g_journal.pending = item;
    return true;
}

bool SaveFileChange(const char* path, int change, const char* destination, void*) {
    UndoChange kind = change == UNDO_SAVE_MOVE ? UNDO_MOVE : change == UNDO_SAVE_CUT ? UNDO_CUT : UNDO_DELETE;
    return SaveFile(path, kind, destination);
}

// Registry changes are kept by saving each changed hive whole before it is
// written back, at the end of the run.
bool SaveRegistryValue(uint32_t, const char*, const char*, bool, uint32_t, const uint8_t*, uint32_t) {
    g_journal.pending = nullptr;
    return true;
}
bool SaveRegistryKey(uint32_t, const char*) {
    g_journal.pending = nullptr;
    return true;
}
bool SaveService(const char*) {
    g_journal.pending = nullptr;
    return true;
}
// An INI file is saved whole before its first change (an entry the
// installation maps to the registry is kept with its hive).
bool SaveIniEntry(const char* file, const char* section, const char* name, const char*) {
    g_journal.pending = nullptr;
    std::string posix;
    if (IniEntryInRegistry(file, section, name) || ResolveMountedPath(file, &posix) != MOUNTED_FOUND) return true;
    return SaveWholeFileForUndo(file);
}

// A change that was not made takes its item out again. A whole file's
// after-state is noted when it is written.
void ChangeDone(bool made) {
    UndoItem* item = g_journal.pending;
    g_journal.pending = nullptr;
    if (!item) return;
    if (made) {
        if (item->change == UNDO_CUT) WholeFileReplaced(item->path);
        return;
    }
    for (size_t i = 0; i < g_journal.wholeFiles.size(); ++i)
        if (g_journal.wholeFiles[i] == item->path) g_journal.wholeFiles.erase(g_journal.wholeFiles.begin() + i);
    Journal& j = g_journal.journal;
    UndoItem** at = &j.items;
    UndoItem* previous = nullptr;
    while (*at && *at != item) {
        previous = *at;
        at = &(*at)->next;
    }
    if (!*at) return;
    *at = item->next;
    if (j.last == item) j.last = previous;
    std::string copy;
    if (ResolveMountedPath((g_journal.folder + "\\" + item->saved).c_str(), &copy) == MOUNTED_FOUND)
        unlink(copy.c_str());
    item->next = nullptr;
    Journal one = {};
    one.items = item;
    FreeJournalItems(&one);
    WriteManifest();
}

const char* LastProblem() { return g_journal.problem.c_str(); }

// Nothing is left for the next start offline (nothing is in use), so there
// is never a scheduled change to note.
const UndoSaving kSaving = {SaveFileChange, SaveRegistryValue, SaveRegistryKey, SaveIniEntry,
                            SaveService,    ChangeDone,        LastProblem,     nullptr};

// The file's saved bytes: kept in the item itself (a small file the running
// program saved), or in its saved copy, unscrambled.
bool SavedBytes(const std::string& folder, const UndoItem& item, std::string* bytes) {
    std::string copy;
    if (item.hasCopy)
        *bytes = item.copy;
    else if (ResolveMountedPath((folder + "\\" + item.saved).c_str(), &copy) != MOUNTED_FOUND ||
             ReadMountedFile(copy, bytes) != 0)
        return false;
    if (bytes->size() != item.size) return false;
    uint8_t key = UNDO_SCRAMBLE_START;
    if (!item.hasCopy) ScrambleBytes(&(*bytes)[0], bytes->size(), &key);
    return true;
}

// Writes the saved copy back as the file at path, with the item's times.
bool PutBack(const std::string& folder, const UndoItem& item, std::string* reason) {
    std::string bytes, posix;
    if (!SavedBytes(folder, item, &bytes)) {
        *reason = "its saved copy is missing or damaged";
        return false;
    }
    MountedPathStatus status = ResolveMountedPath(item.path.c_str(), &posix);
    if (status == MOUNTED_NO_FOLDER) {
        size_t slash = item.path.rfind('\\');
        if (slash != std::string::npos && MakeFolders(item.path.substr(0, slash)))
            status = ResolveMountedPath(item.path.c_str(), &posix);
    }
    if ((status != MOUNTED_FOUND && status != MOUNTED_MISSING) || ReplaceMountedFile(posix, bytes) != 0) {
        *reason = "it cannot be written";
        return false;
    }
    struct timespec times[2] = {TimespecOf(item.accessed), TimespecOf(item.written)};
    utimensat(AT_FDCWD, posix.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return true;
}

enum Outcome { RESTORED, LEFT_ALONE, FAILED };

Outcome RestoreItem(const std::string& folder, const UndoItem& item, std::string* reason) {
    if (item.kind != UNDO_FILE) {
        *reason = "an offline run does not restore it";
        return FAILED;
    }
    std::string posix;
    MountedPathStatus status = ResolveMountedPath(item.path.c_str(), &posix);
    struct stat st;
    bool there = status == MOUNTED_FOUND && lstat(posix.c_str(), &st) == 0;
    // A journal of a run cut off (by the running program) may hold an item
    // whose change has no record of being made: it comes back only where
    // the change happened.
    std::string saved, now;
    bool unchanged = item.inDoubt && there && SavedBytes(folder, item, &saved) && ReadMountedFile(posix, &now) == 0 &&
                     now == saved;
    if (item.inDoubt && there && (item.change != UNDO_CUT || unchanged)) {
        *reason = "the run was cut off before it changed it";
        return LEFT_ALONE;
    }
    if (item.change == UNDO_CUT && !item.inDoubt) {
        if (!there) {
            *reason = "it is no longer there";
            return LEFT_ALONE;
        }
        if (static_cast<uint64_t>(st.st_size) != item.afterSize || FileTimeOf(st.st_mtim) != item.afterWritten) {
            *reason = "it was changed again since the run";
            return LEFT_ALONE;
        }
    } else if (item.change == UNDO_CUT && !there) {
        *reason = "it is no longer there";
        return LEFT_ALONE;
    } else if (item.change != UNDO_CUT && there) {
        *reason = "it exists again";
        return LEFT_ALONE;
    }
    if (!PutBack(folder, item, reason)) return FAILED;
    if (item.change == UNDO_MOVE && !item.destination.empty() &&
        ResolveMountedPath(item.destination.c_str(), &posix) == MOUNTED_FOUND)
        unlink(posix.c_str());
    return RESTORED;
}

std::vector<std::string> JournalFolders(char letter) {
    std::vector<std::string> names;
    std::string posix;
    if (ResolveMountedPath(UndoRoot(letter).c_str(), &posix) != MOUNTED_FOUND) return names;
    DIR* dir = opendir(posix.c_str());
    if (!dir) return names;
    while (struct dirent* d = readdir(dir)) names.push_back(d->d_name);
    closedir(dir);
    return names;
}

}  // namespace

void BeginOfflineJournal(char driveLetter, const char* dataFile) {
    g_journal.letter = driveLetter;
    g_journal.dataFile = dataFile ? dataFile : "(built in)";
    g_journal.folder.clear();
    g_journal.journal = Journal{};
    // Written whole at each change, as version 1.
    g_journal.journal.version = UNDO_FORMAT_VERSION_1;
    g_journal.journal.dataFile = g_journal.dataFile;
    g_journal.pending = nullptr;
    g_journal.wholeFiles.clear();
    g_journal.saved = 0;
    g_undoSaving = &kSaving;
}

bool SaveWholeFileForUndo(const std::string& windowsPath) {
    for (const std::string& done : g_journal.wholeFiles)
        if (done == windowsPath) return true;
    if (!SaveFile(windowsPath, UNDO_CUT, nullptr)) return false;
    g_journal.wholeFiles.push_back(windowsPath);
    return true;
}

void WholeFileReplaced(const std::string& windowsPath) {
    std::string posix;
    struct stat st;
    if (ResolveMountedPath(windowsPath.c_str(), &posix) != MOUNTED_FOUND || lstat(posix.c_str(), &st) != 0) return;
    // The item of this file is the one saved first for it.
    for (UndoItem* item = g_journal.journal.items; item; item = item->next) {
        if (item->kind != UNDO_FILE || item->change != UNDO_CUT || item->path != windowsPath) continue;
        item->afterSize = static_cast<uint64_t>(st.st_size);
        item->afterWritten = FileTimeOf(st.st_mtim);
        break;
    }
    WriteManifest();
}

void NoteWholeFilesReplaced() {
    for (const std::string& path : g_journal.wholeFiles) WholeFileReplaced(path);
}

void EndOfflineJournal() {
    g_undoSaving = nullptr;
    if (!g_journal.folder.empty()) ReportMessage(MSG_INFO, "\r\nUndo journal: %s\r\n", g_journal.folder.c_str());
    FreeJournalItems(&g_journal.journal);
}

// -undo=list: each journal of the installation, the oldest first.
int ListOfflineJournals(char driveLetter) {
    std::vector<std::string> names = JournalFolders(driveLetter);
    std::vector<std::string> journals;
    for (const std::string& name : names)
        if (IsJournalFolderName(name)) journals.push_back(name);
    std::sort(journals.begin(), journals.end());
    std::string root = UndoRoot(driveLetter);
    if (journals.empty()) {
        ReportMessage(MSG_INFO, "No undo journals in %s\r\n", root.c_str());
        return 0;
    }
    ReportMessage(MSG_INFO, "Undo journals in %s:\r\n", root.c_str());
    for (const std::string& name : journals) {
        Journal journal = {};
        std::string posix, text, problem;
        if (ResolveMountedPath((root + "\\" + name + "\\manifest.json").c_str(), &posix) == MOUNTED_FOUND &&
            ReadMountedFile(posix, &text) == 0 && ParseManifest(text, &journal, &problem))
            ReportMessage(MSG_INFO, "%s\r\n", JournalListLine(name, journal).c_str());
        else
            ReportMessage(MSG_INFO, "%s  (cannot be read: %s)\r\n", name.c_str(),
                          problem.empty() ? "its manifest cannot be read" : problem.c_str());
        FreeJournalItems(&journal);
    }
    return 0;
}

int RestoreOfflineJournal(char driveLetter, const char* which) {
    if (which && strcasecmp(which, "list") == 0) return ListOfflineJournals(driveLetter);
    std::string folder = which && *which ? which : "";
    // A journal's name alone is one of the installation's.
    if (!folder.empty() && folder.find('\\') == std::string::npos) folder = UndoRoot(driveLetter) + "\\" + folder;
    if (folder.empty()) {
        std::string latest = LatestJournalFolder(JournalFolders(driveLetter));
        if (latest.empty()) {
            ReportMessage(MSG_ERROR, "No undo journal in %s\r\n", UndoRoot(driveLetter).c_str());
            return 1;
        }
        folder = UndoRoot(driveLetter) + "\\" + latest;
    }
    Journal journal = {};
    std::string posix, text, problem;
    if (ResolveMountedPath((folder + "\\manifest.json").c_str(), &posix) != MOUNTED_FOUND ||
        ReadMountedFile(posix, &text) != 0 || !ParseManifest(text, &journal, &problem)) {
        ReportMessage(MSG_ERROR, "Cannot restore %s: %s\r\n", folder.c_str(),
                      problem.empty() ? "its manifest cannot be read" : problem.c_str());
        FreeJournalItems(&journal);
        return 1;
    }
    if (!journal.restored.empty()) {
        ReportMessage(MSG_ERROR, "%s was restored on %s already; nothing was changed\r\n", folder.c_str(),
                      journal.restored.c_str());
        FreeJournalItems(&journal);
        return 1;
    }
    ReportMessage(MSG_INFO, "Restoring %s\r\n", folder.c_str());
    unsigned restored = 0, notRestored = 0;
    for (const UndoItem* item : RestoreOrder(journal)) {
        std::string reason;
        Outcome outcome = RestoreItem(folder, *item, &reason);
        const char* kind = UndoKindWord(item->kind);
        if (outcome == RESTORED) {
            ++restored;
            ReportMessage(MSG_INFO, "Restored %s %s\r\n", kind, item->path.c_str());
        } else {
            ++notRestored;
            ReportMessage(MSG_INFO, "%s %s %s: %s\r\n", outcome == LEFT_ALONE ? "Left alone" : "Could not restore", kind,
                          item->path.c_str(), reason.c_str());
        }
    }
    journal.restored = JournalTimeText(Now());
    if (ResolveMountedPath((folder + "\\manifest.json").c_str(), &posix) != MOUNTED_FOUND ||
        ReplaceMountedFile(posix, ManifestText(journal)) != 0)
        ReportMessage(MSG_ERROR, "The journal cannot be marked as restored: %s\r\n", "it cannot be written");
    ReportMessage(MSG_INFO, "%u restored, %u not restored\r\n", restored, notRestored);
    FreeJournalItems(&journal);
    return notRestored ? 1 : 0;
}
