// The file actions' calls on the mounted installation. Each works on the
// Windows path the walk checked, resolved on the mount without following a
// link; the file is not held open (nothing runs on the installation to
// change it meanwhile). Attributes a Linux mount cannot show are clear.
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "disk/file_actions.h"
#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "report/run_report.h"

namespace {

const uint32_t kFileNotFound = 2;
const uint32_t kAccessDenied = 5;
const uint32_t kAlreadyExists = 183;

bool Fail(uint32_t error) {
    g_fakeLastError = error;
    return false;
}

// The file's path on the mount: only a file that is there, and no link.
bool ExistingFile(const char* path, std::string* posix) {
    MountedPathStatus status = ResolveMountedPath(path, posix);
    if (status == MOUNTED_LINK) return Fail(kAccessDenied);
    if (status != MOUNTED_FOUND) return Fail(kFileNotFound);
    struct stat st;
    if (lstat(posix->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(kAccessDenied);
    return true;
}

// Where a file may be made: its folder there, and no link on the way.
bool NewFile(const char* path, std::string* posix, bool mayExist) {
    MountedPathStatus status = ResolveMountedPath(path, posix);
    if (status == MOUNTED_FOUND && !mayExist) return Fail(kAlreadyExists);
    if (status == MOUNTED_FOUND) {
        struct stat st;
        if (lstat(posix->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(kAccessDenied);
        return true;
    }
    if (status != MOUNTED_MISSING) return Fail(status == MOUNTED_LINK ? kAccessDenied : 3);
    return true;
}

}  // namespace

struct HeldFile {};

HeldFile* PlatformHoldFile(const char*) { return nullptr; }
void PlatformReleaseFile(HeldFile*) {}
void* PlatformOpenFile(HeldFile*) { return nullptr; }
void PlatformPrepareToWrite(const char*, HeldFile*) {}

bool PlatformClearAttributes(const char* path, HeldFile*) {
    std::string posix;
    return ExistingFile(path, &posix);
}

bool PlatformDeleteFile(const char* path, HeldFile*) {
    std::string posix;
    if (!ExistingFile(path, &posix)) return false;
    if (unlink(posix.c_str()) != 0) return Fail(Win32ErrorOf(errno));
    return true;
}

bool PlatformCopyFile(const char* from, const char* to, HeldFile*) {
    std::string source, target, bytes;
    if (!ExistingFile(from, &source) || !NewFile(to, &target, true)) return false;
    uint32_t error = ReadMountedFile(source, &bytes);
    if (!error) error = ReplaceMountedFile(target, bytes);
    return error ? Fail(error) : true;
}

bool PlatformMoveFile(const char* from, const char* to, HeldFile*) {
    std::string source, target;
    if (!ExistingFile(from, &source) || !NewFile(to, &target, false)) return false;
    if (rename(source.c_str(), target.c_str()) != 0) return Fail(Win32ErrorOf(errno));
    return true;
}

bool CutFile(const char* path, FileRecord* record, uint32_t size, HeldFile*) {
    CutRange range;
    std::string posix, bytes;
    if (!FindCutRange(record, size, &range)) return false;
    if (!ExistingFile(path, &posix)) return false;
    uint32_t error = ReadMountedFile(posix, &bytes);
    if (error) return Fail(error);
    if (range.end > bytes.size()) return false;
    bytes.erase(range.start, range.end - range.start);
    error = ReplaceMountedFile(posix, bytes);
    return error ? Fail(error) : true;
}

// Nothing of the installation runs while it is mounted here: no file is in
// use, so none is ever left for the next start.
bool PlatformFileInUse(const char*) { return false; }

bool PlatformScheduleAtRestart(const char*, const char*, HeldFile*, char*) { return false; }
