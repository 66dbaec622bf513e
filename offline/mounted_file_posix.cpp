#include "offline/mounted_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

uint32_t Win32ErrorOf(int error) {
    switch (error) {
    case ENOENT: return 2;    // ERROR_FILE_NOT_FOUND
    case ENOTDIR: return 3;   // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM: return 5;     // ERROR_ACCESS_DENIED
    case EBUSY: return 32;    // ERROR_SHARING_VIOLATION
    case EROFS: return 19;    // ERROR_WRITE_PROTECT
    case ENOSPC: return 112;  // ERROR_DISK_FULL
    case ELOOP: return 1921;  // ERROR_CANT_RESOLVE_FILENAME
    case ENOMEM: return 8;    // ERROR_NOT_ENOUGH_MEMORY
    default: return 31;       // ERROR_GEN_FAILURE
    }
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

uint32_t ReadMountedFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Win32ErrorOf(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 5;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            close(fd);
            return Win32ErrorOf(error);
        }
        if (n == 0) break;
        bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return 0;
}

uint32_t ReplaceMountedFile(const std::string& path, const std::string& bytes) {
    mode_t mode = 0644;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return 5;
        mode = st.st_mode & 07777;
    }
    // A name of our own making: one a user left beside the file (a link
    // above all) is never written through.
    std::string beside = path + ".XXXXXX";
    int fd = mkstemp(&beside[0]);
    if (fd < 0) return Win32ErrorOf(errno);
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written || rename(beside.c_str(), path.c_str()) != 0) {
        if (written) error = errno;
        unlink(beside.c_str());
        return Win32ErrorOf(error);
    }
    return 0;
}
