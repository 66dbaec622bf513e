#include "offline/journal_owner_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "offline/journal_owner.h"

namespace {

// The names the two NTFS drivers give the descriptor, tried in this order.
const char* const kDescriptorNames[] = {"system.ntfs_acl", "system.ntfs_security"};
const size_t kDescriptorLimit = 64 * 1024;

// The descriptor and the name it goes by; false where the mount shows none.
bool ReadDescriptor(int fd, std::string* descriptor, const char** name) {
    for (const char* attribute : kDescriptorNames) {
        descriptor->assign(kDescriptorLimit, '\0');
        ssize_t got = fgetxattr(fd, attribute, &(*descriptor)[0], descriptor->size());
        if (got < 0) continue;
        descriptor->resize(static_cast<size_t>(got));
        *name = attribute;
        return true;
    }
    descriptor->clear();
    return false;
}

}  // namespace

int OpenMountedForJudging(const std::string& posix, bool folder) {
    int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (folder ? O_DIRECTORY : O_NONBLOCK);
    int fd = open(posix.c_str(), flags);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) {
        close(fd);
        return -1;
    }
    if (!folder) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

TrustVerdict JudgeMounted(int fd, bool access, std::string* who) {
    std::string descriptor;
    const char* name = nullptr;
    if (ReadDescriptor(fd, &descriptor, &name)) return JudgeSecurity(descriptor, "", access, who);
    struct stat st;
    if (fstat(fd, &st) != 0) {
        who->clear();
        return TRUST_UNREADABLE;
    }
    return JudgeUnixOwner(st.st_uid, st.st_gid, st.st_mode, geteuid(), who);
}

void GuardMounted(int fd) {
    std::string descriptor;
    const char* name = nullptr;
    if (!ReadDescriptor(fd, &descriptor, &name)) return;
    std::string owned = OwnedJournalDescriptor();
    // Where the driver will not take it, the next run's judging says so.
    fsetxattr(fd, name, owned.data(), owned.size(), 0);
}

bool ReadOpened(int fd, size_t limit, std::string* bytes) {
    bytes->clear();
    if (lseek(fd, 0, SEEK_SET) != 0) return false;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes->append(buffer, static_cast<size_t>(n));
        if (bytes->size() > limit) return false;
    }
}
