// Hive files opened whole, and written back once at the end of the run:
// each to a new file beside the old one, then renamed over it.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "offline/hive_file.h"
#include "offline/hive_registry.h"

namespace {

HiveFile* g_hives;  // every hive opened, for the commit

}  // namespace

HiveFile* OpenHiveFile(const std::string& path, const std::string& windowsPath, std::string* problem) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *problem = "it is not a file";
        return nullptr;
    }
    hive_h* h = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    if (!h) {
        *problem = errno == ENOTSUP || errno == EINVAL ? "it is not a registry hive, or it is damaged"
                                                         : std::string("it could not be read (") + strerror(errno) + ")";
        return nullptr;
    }
    HiveFile* hive = new HiveFile{h, path, windowsPath, false, g_hives};
    g_hives = hive;
    return hive;
}

int CommitHives(bool (*saveOld)(const std::string& path, const std::string& windowsPath),
                void (*report)(const std::string& line)) {
    int failed = 0;
    for (HiveFile* hive = g_hives; hive; hive = hive->next) {
        if (!hive->changed) continue;
        if (!saveOld(hive->path, hive->windowsPath)) {
            report("Could not write the registry hive " + hive->windowsPath +
                   ": it could not be saved for undo; the changes above to its keys were not made\r\n");
            ++failed;
            continue;
        }
        // A name of our own making beside the hive: one a user left there
        // (a link above all) is never written through.
        std::string beside = hive->path + ".XXXXXX";
        int fd = mkstemp(&beside[0]);
        bool written = fd >= 0;
        if (fd >= 0) close(fd);
        written = written && hivex_commit(hive->h, beside.c_str(), 0) == 0;
        int error = errno;
        if (written) {
            struct stat st;
            if (stat(hive->path.c_str(), &st) == 0) chmod(beside.c_str(), st.st_mode & 07777);
            written = rename(beside.c_str(), hive->path.c_str()) == 0;
            error = errno;
        }
        if (!written) {
            if (fd >= 0) unlink(beside.c_str());
            report("Could not write the registry hive " + hive->windowsPath + ": " + strerror(error) +
                   "; the changes above to its keys were not made\r\n");
            ++failed;
            continue;
        }
        hive->changed = false;
    }
    return failed;
}

void CloseHiveFiles() {
    while (g_hives) {
        HiveFile* next = g_hives->next;
        hivex_close(g_hives->h);
        delete g_hives;
        g_hives = next;
    }
}
