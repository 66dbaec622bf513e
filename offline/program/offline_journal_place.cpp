#include "offline/program/offline_journal_place.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "offline/journal_owner_posix.h"
#include "offline/mounted_tree.h"
#include "report/message.h"

namespace {

const uint64_t kUnixEpoch = 116444736000000000ull;  // 1970 as a FILETIME

// Why what stands at posix may not serve as one of the journal's folders,
// or "". What is no folder is judged by its owner only: it cannot be used
// either way, but is moved aside only when it is someone else's.
std::string Distrust(const std::string& posix, bool* isFolder) {
    struct stat st;
    *isFolder = lstat(posix.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    int fd = *isFolder ? OpenMountedForJudging(posix, true) : open(posix.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "its security cannot be read";
    std::string who;
    std::string why = TrustProblem(JudgeMounted(fd, *isFolder, &who), nullptr, who);
    close(fd);
    return why;
}

// Moves what stands at the Windows path aside, under a name of its own
// beside it that nothing holds yet.
bool MoveAside(const std::string& path, const std::string& posix, const std::string& why, std::string* problem) {
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string aside = path + ".untrusted" + (attempt > 1 ? "-" + std::to_string(attempt) : ""), target;
        MountedPathStatus status = ResolveMountedPath(aside.c_str(), &target);
        if (status == MOUNTED_FOUND || status == MOUNTED_LINK) continue;
        if (status != MOUNTED_MISSING || rename(posix.c_str(), target.c_str()) != 0) break;
        ReportMessage(MSG_WARNING, "\r\n%s was moved aside to %s: %s\r\n", path.c_str(), aside.c_str(), why.c_str());
        return true;
    }
    *problem = "the journal folder cannot be made";
    return false;
}

// One folder of the root: made, or found and judged.
bool MakeRootFolder(const std::string& path, std::string* posix, std::string* problem) {
    *problem = "the journal folder cannot be made";
    MountedPathStatus status = ResolveMountedPath(path.c_str(), posix);
    if (status == MOUNTED_FOUND) {
        bool isFolder = false;
        std::string why = Distrust(*posix, &isFolder);
        if (why.empty()) return isFolder;
        if (!MoveAside(path, *posix, why, problem)) return false;
        status = MOUNTED_MISSING;
    }
    if (status != MOUNTED_MISSING) return false;
    size_t slash = posix->rfind('/');
    int parent = open(posix->substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0) return false;
    int made = MakeJournalFolderAt(parent, posix->c_str() + slash + 1);
    close(parent);
    if (made < 0) return false;
    close(made);
    return true;
}

}  // namespace

std::string OfflineUndoRoot(char letter) { return std::string(1, letter) + ":\\Mendrix\\Undo"; }

bool MakeOfflineUndoRoot(char letter, std::string* posix, std::string* problem) {
    std::string root = OfflineUndoRoot(letter), mendrix;
    return MakeRootFolder(root.substr(0, root.rfind('\\')), &mendrix, problem) &&
           MakeRootFolder(root, posix, problem);
}

int MakeJournalFolderAt(int parent, const char* name) {
    if (mkdirat(parent, name, 0700) != 0) return -1;
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    GuardMounted(fd);
    fsync(parent);
    return fd;
}

int CreateJournalFileAt(int folder, const char* name) {
    int fd = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) GuardMounted(fd);
    return fd;
}

uint64_t FileTimeOfSpec(const struct timespec& t) {
    return kUnixEpoch + static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}

struct timespec TimespecOf(uint64_t fileTime) {
    struct timespec t;
    uint64_t since = fileTime > kUnixEpoch ? fileTime - kUnixEpoch : 0;
    t.tv_sec = static_cast<time_t>(since / 10000000ull);
    t.tv_nsec = static_cast<long>(since % 10000000ull) * 100;
    return t;
}

JournalTime OfflineNow() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return JournalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec};
}
