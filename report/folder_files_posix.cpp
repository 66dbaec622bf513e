#include "report/folder_files.h"

#include <dirent.h>
#include <sys/stat.h>

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* paths) {
    DIR* directory = opendir(folder.c_str());
    if (!directory) return false;
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    while (dirent* entry = readdir(directory)) {
        std::string path = base + entry->d_name;
        struct stat status;
        if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) paths->push_back(path);
    }
    closedir(directory);
    return true;
}
