// The files of one folder, for the tools that read many run reports at once.
#pragma once
#include <string>
#include <vector>

// The full paths of the files directly in folder (no subfolders), in no
// particular order. False when folder is not a folder that can be read.
bool ListFolderFiles(const std::string& folder, std::vector<std::string>* paths);
