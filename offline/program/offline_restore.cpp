// Putting a journal back offline, as the running program puts it back:
// every item is restored where nothing has taken its place since, an item
// left in doubt by a run that was cut off only where its change did
// happen, and each one is reported on a line of its own. What a journal
// holds is carried out as root on the installation, so a journal folder,
// manifest or saved copy is read only when no limited user of that
// installation could have made or written it.
#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "offline/journal_owner_posix.h"
#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "offline/program/offline_journal_place.h"
#include "offline/program/offline_undo.h"
#include "report/message.h"
#include "undo/journal_log.h"
#include "undo/journal_restore.h"

namespace {

// A manifest or saved copy larger than this is not read.
const size_t kReadLimit = 1024u * 1024 * 1024;

std::string ManifestOf(const std::string& folder) { return folder + "\\manifest.json"; }

// Opens what the Windows path names and judges it. Answers the fd, or -1
// with *problem set ("" when it is not there to be judged).
int OpenJudged(const std::string& path, bool folder, const char* thing, std::string* problem, bool* refused) {
    std::string posix, who;
    problem->clear();
    if (ResolveMountedPath(path.c_str(), &posix) != MOUNTED_FOUND) return -1;
    int fd = OpenMountedForJudging(posix, folder);
    if (fd < 0) return -1;
    TrustVerdict verdict = JudgeMounted(fd, false, &who);
    if (verdict == TRUSTED) return fd;
    close(fd);
    *refused = true;
    *problem = TrustProblem(verdict, thing, who);
    return -1;
}

// Reads a journal's manifest, of either version, when its folder and the
// manifest itself can be trusted; otherwise *refused is set.
bool ReadManifest(const std::string& folder, Journal* journal, std::string* problem, bool* refused) {
    *refused = false;
    int fd = OpenJudged(folder, true, "folder", problem, refused);
    if (*refused) return false;
    if (fd >= 0) close(fd);
    // The manifest that was judged is the one read: through the same fd.
    fd = OpenJudged(ManifestOf(folder), false, "manifest", problem, refused);
    if (*refused) return false;
    std::string text;
    bool read = fd >= 0 && ReadOpened(fd, kReadLimit, &text);
    if (fd >= 0) close(fd);
    if (!read) {
        *problem = "its manifest cannot be read";
        return false;
    }
    return ParseManifest(text, journal, problem);
}

// Marks the journal restored at the time: a log gets a record at its end,
// after any line a cut-off run left unfinished is taken off; a version-1
// manifest is written anew.
bool MarkRestored(const std::string& folder, Journal* journal, const std::string& time, std::string* problem) {
    *problem = "it cannot be written";
    std::string posix, text;
    if (ResolveMountedPath(ManifestOf(folder).c_str(), &posix) != MOUNTED_FOUND) return false;
    if (journal->version != UNDO_FORMAT_VERSION) {
        journal->restored = time;
        return ReplaceMountedFile(posix, ManifestText(*journal)) == 0;
    }
    int fd = open(posix.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    std::string line = LogRestoredLine(time);
    size_t newline = std::string::npos;
    bool marked = ReadOpened(fd, kReadLimit, &text);
    if (marked) newline = text.rfind('\n');
    off_t whole = newline == std::string::npos ? 0 : static_cast<off_t>(newline + 1);
    marked = marked && (whole == static_cast<off_t>(text.size()) || ftruncate(fd, whole) == 0) &&
             pwrite(fd, line.data(), line.size(), whole) == static_cast<ssize_t>(line.size()) && fsync(fd) == 0;
    close(fd);
    return marked;
}

// The saved bytes of a file item: kept in the item, or its saved copy,
// which must be the journal's own, unscrambled. Answers the problem, or "".
std::string SavedBytes(const std::string& folder, const UndoItem& item, std::string* bytes) {
    const std::string missing = "its saved copy is missing or damaged";
    if (item.hasCopy) {
        *bytes = item.copy;
        return bytes->size() == item.size ? "" : missing;
    }
    std::string problem;
    bool refused = false;
    int fd = OpenJudged(folder + "\\" + item.saved, false, "saved copy", &problem, &refused);
    if (refused) return problem;
    bool read = fd >= 0 && ReadOpened(fd, item.size, bytes);
    if (fd >= 0) close(fd);
    if (!read || bytes->size() != item.size) return missing;
    uint8_t key = UNDO_SCRAMBLE_START;
    if (!bytes->empty()) ScrambleBytes(&(*bytes)[0], bytes->size(), &key);
    return "";
}

// Whether the file at posix holds exactly the saved bytes.
bool Holds(const std::string& posix, const std::string& saved) {
    std::string now;
    return ReadMountedFile(posix, &now) == 0 && now == saved;
}

// Writes the saved bytes as the file at the item's path (replacing what is
// there whole), with the item's times.
RestoreResult PutBack(const UndoItem& item, const std::string& bytes) {
    std::string posix;
    MountedPathStatus status = ResolveMountedPath(item.path.c_str(), &posix);
    if (status == MOUNTED_NO_FOLDER) {
        // The folders on the way come back first.
        for (size_t at = 3; at < item.path.size(); ++at) {
            if (item.path[at] != '\\') continue;
            std::string folder;
            if (ResolveMountedPath(item.path.substr(0, at).c_str(), &folder) == MOUNTED_MISSING)
                mkdir(folder.c_str(), 0755);
        }
        status = ResolveMountedPath(item.path.c_str(), &posix);
    }
    uint32_t error = status == MOUNTED_FOUND || status == MOUNTED_MISSING ? ReplaceMountedFile(posix, bytes) : 5;
    if (error) return ItemFailed("it cannot be written");
    struct timespec times[2] = {TimespecOf(item.accessed), TimespecOf(item.written)};
    utimensat(AT_FDCWD, posix.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return ItemRestored();
}

RestoreResult RestoreCutFile(const UndoItem& item, const std::string& posix, const std::string& bytes) {
    struct stat st;
    if (lstat(posix.c_str(), &st) != 0) return ItemLeftAlone("it is no longer there");
    if (item.inDoubt) {
        // What the cut left is not on record: a file that still holds its
        // old bytes was not cut, and any other was.
        return Holds(posix, bytes) ? ItemNotNeeded() : PutBack(item, bytes);
    }
    if (static_cast<uint64_t>(st.st_size) != item.afterSize || FileTimeOfSpec(st.st_mtim) != item.afterWritten)
        return ItemLeftAlone("it was changed again since the run");
    return PutBack(item, bytes);
}

RestoreResult RestoreFile(const std::string& folder, const UndoItem& item) {
    std::string bytes, posix;
    std::string problem = SavedBytes(folder, item, &bytes);
    if (!problem.empty()) return ItemFailed(problem);
    MountedPathStatus status = ResolveMountedPath(item.path.c_str(), &posix);
    if (item.change == UNDO_CUT) {
        if (status != MOUNTED_FOUND) return ItemLeftAlone("it is no longer there");
        return RestoreCutFile(item, posix, bytes);
    }
    if (status == MOUNTED_FOUND || status == MOUNTED_LINK) return item.inDoubt ? ItemNotNeeded() : ItemLeftAlone("it exists again");
    RestoreResult result = PutBack(item, bytes);
    // The moved file goes away only where it is still what was moved.
    if (result.outcome == RESTORE_DONE && item.change == UNDO_MOVE && !item.destination.empty() &&
        ResolveMountedPath(item.destination.c_str(), &posix) == MOUNTED_FOUND && Holds(posix, bytes))
        unlink(posix.c_str());
    return result;
}

RestoreResult RestoreItem(const std::string& folder, const UndoItem& item) {
    if (item.kind == UNDO_FILE) return RestoreFile(folder, item);
    if (item.kind == UNDO_DAMAGED) return ItemFailed(item.problem);
    return ItemFailed("an offline run does not restore it");
}

// The journal folders under the root: folders of a journal's name, never
// a link.
std::vector<std::string> JournalFolders(char letter) {
    std::vector<std::string> names;
    std::string posix;
    if (ResolveMountedPath(OfflineUndoRoot(letter).c_str(), &posix) != MOUNTED_FOUND) return names;
    DIR* dir = opendir(posix.c_str());
    if (!dir) return names;
    while (struct dirent* d = readdir(dir)) {
        struct stat st;
        if (IsJournalFolderName(d->d_name) && fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(st.st_mode))
            names.push_back(d->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool HasManifest(const std::string& folder) {
    std::string posix;
    return ResolveMountedPath(ManifestOf(folder).c_str(), &posix) == MOUNTED_FOUND;
}

std::string NowText() { return JournalTimeText(OfflineNow()); }

char g_letter;

std::vector<std::string> InstallationJournals() { return JournalFolders(g_letter); }

}  // namespace

int RestoreOfflineJournal(char driveLetter, const char* which) {
    g_letter = driveLetter;
    JournalShelf shelf = {OfflineUndoRoot(driveLetter), InstallationJournals, HasManifest, ReadManifest,
                          RestoreItem,                  MarkRestored,         NowText};
    return RunJournalRestore(shelf, which);
}
