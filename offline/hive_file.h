// One hive file of the run as the registry calls and the commit share it:
// the library's handle, where the file is, and whether the run changed it.
#pragma once
#include <hivex.h>

#include <string>

struct HiveFile {
    hive_h* h;
    std::string path;
    std::string windowsPath;
    bool changed;
    HiveFile* next;
};

// Closes every hive file opened, written or not.
void CloseHiveFiles();
