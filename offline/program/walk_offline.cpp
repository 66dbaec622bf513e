// The directory walk on the mounted installation: the program's own walk
// and file check, with POSIX calls in place of Win32 ones. Entries are
// taken in the order NTFS lists them (by their upper-case names); links are
// never entered or opened, and a folder met again below itself is not
// entered, so nothing a user planted leads the walk off the installation or
// round for ever.
#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "disk/display_name.h"
#include "disk/file_actions.h"
#include "disk/file_record.h"
#include "disk/record_check.h"
#include "disk/walk.h"
#include "offline/ansi_names.h"
#include "offline/mounted_tree.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/byte_source.h"

namespace {

bool g_walkTopOnly = false;

struct Ancestor {
    dev_t device;
    ino_t inode;
    const Ancestor* above;
};

struct Entry {
    std::string ansi;   // the name as Windows shows it
    std::string posix;  // the name on the mount
    std::string order;  // the name in upper case, as NTFS orders it
};

std::string UpperOf(const std::string& ansi) {
    std::string upper = ansi;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return upper;
}

// The file's bytes for its patterns, opened without following a link.
FILE* OpenForPatterns(const char* windowsPath) {
    std::string posix;
    if (ResolveMountedPath(windowsPath, &posix) != MOUNTED_FOUND) return nullptr;
    int fd = open(posix.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* stream = fdopen(fd, "rb");
    if (!stream) close(fd);
    return stream;
}

// The stream the record check reads the file's patterns through.
struct PatternOpening {
    const char* path;
    FILE* stream;
};

bool OpenStreamForPatterns(void* context, ByteSource* source, uint32_t* error) {
    PatternOpening* opening = static_cast<PatternOpening*>(context);
    opening->stream = OpenForPatterns(opening->path);
    if (!opening->stream) {
        *error = 5;  // ERROR_ACCESS_DENIED: the mount gives no Windows error of its own
        return false;
    }
    *source = StdioByteSource(opening->stream);
    return true;
}

bool AlreadyAbove(const struct stat& st, const Ancestor* above) {
    for (; above; above = above->above)
        if (above->device == st.st_dev && above->inode == st.st_ino) return true;
    return false;
}

void Walk(std::string& path, const std::string& posix, FileRecord* files, unsigned char* scratch,
          const Ancestor* above) {
    struct stat here;
    if (lstat(posix.c_str(), &here) != 0) return;
    if (AlreadyAbove(here, above)) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "Folder %s not entered: it leads back to a folder above it\r\n",
                      path.c_str());
        return;
    }
    Ancestor me = {here.st_dev, here.st_ino, above};
    DIR* dir = opendir(posix.c_str());
    if (!dir) return;
    std::vector<Entry> entries;
    while (struct dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        Entry e;
        e.posix = name;
        if (!Utf8ToAnsi(name, &e.ansi)) {
            // Windows would show it by a name of another code page: no name
            // of ours reaches it, and nothing here acts on it.
            std::string whole = path + "\\" + name;
            RecordNotExamined(ITEM_FILE, whole.c_str(), "its name is not valid in the mount's character set", 0);
            ReportMessage(MSG_WARNING, "\r\nCould not scan %s: its name is not valid in the mount's character set\r\n",
                          whole.c_str());
            continue;
        }
        e.order = UpperOf(e.ansi);
        entries.push_back(e);
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.order < b.order; });
    size_t length = path.size();
    for (const Entry& e : entries) {
        std::string childPosix = posix + "/" + e.posix;
        struct stat st;
        if (lstat(childPosix.c_str(), &st) != 0) continue;
        bool directory = S_ISDIR(st.st_mode);
        if (directory && g_walkTopOnly) continue;
        if (length + e.ansi.size() >= WALK_PATH_LIMIT) {
            std::string whole = path + "\\" + e.ansi;
            RecordNotExamined(ITEM_FILE, whole.c_str(), "its path is too long to be opened", 0);
            ReportMessage(MSG_WARNING, "\r\nCould not scan %s\n\r", e.ansi.c_str());
            continue;
        }
        path += "\\" + e.ansi;
        struct stat target;
        if (S_ISLNK(st.st_mode) && stat(childPosix.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            ReportMessage(MSG_VERBOSE | MSG_INFO, "Folder %s not entered: it is a link\r\n", path.c_str());
        } else if (S_ISLNK(st.st_mode)) {
            RecordNotExamined(ITEM_FILE, path.c_str(), "it is a link", 0);
        } else if (directory) {
            Walk(path, childPosix, files, scratch, &me);
        } else if (S_ISREG(st.st_mode)) {
            uint32_t size = st.st_size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(st.st_size);
            CheckFile(path.c_str(), files, size, scratch);
        }
        path.resize(length);
    }
}

void ScanEntry(const char* entry, bool topOnly, FileRecord* files, unsigned char* scratch) {
    std::string path = entry;
    if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (path.size() > WALK_PATH_LIMIT) return;
    std::string posix;
    if (ResolveMountedPath(path.c_str(), &posix) != MOUNTED_FOUND) return;
    struct stat st;
    if (lstat(posix.c_str(), &st) != 0) return;
    if (S_ISREG(st.st_mode)) {
        CheckFile(path.c_str(), files, st.st_size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(st.st_size),
                  scratch);
        return;
    }
    if (!S_ISDIR(st.st_mode)) return;
    ReportMessage(MSG_INFO, "\r\nScanning %s\r\n\r\n", path.c_str());
    ReportMessage(MSG_STATUS, "%s\r\n", path.c_str());
    g_walkTopOnly = topOnly;
    Walk(path, posix, files, scratch, nullptr);
    g_walkTopOnly = false;
}

}  // namespace

bool CheckFile(const char* path, FileRecord* files, uint32_t size, unsigned char* scratch) {
    char displayName[DISPLAY_NAME_SIZE];
    PatternOpening opening = {path, nullptr};
    FileRecord* fitted = FirstFittingRecord(path, files, size, scratch, displayName, OpenStreamForPatterns, &opening);
    if (opening.stream) fclose(opening.stream);
    if (!fitted) return false;
    ActOnFile(path, displayName, fitted, size);
    return true;
}

void WalkDirectory(const char* directory, FileRecord* files, unsigned char* scratch) {
    std::string path = directory, posix;
    if (path.size() > WALK_PATH_LIMIT || ResolveMountedPath(directory, &posix) != MOUNTED_FOUND) return;
    Walk(path, posix, files, scratch, nullptr);
}

void ScanDirectories(ParseContext* context, FileRecord* files) {
    // The installation's own drive, as "C:" is on the running machine.
    char drive[3] = {DriveMounts() ? DriveMounts()->letter : 'C', ':', 0};
    ScanDirectoryList(context, files, drive, ScanEntry);
}
