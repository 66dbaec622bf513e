#include "report/folder_files.h"

#include <windows.h>

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* paths) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) paths->push_back(base + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}
