#include "standin_dll.h"

std::string ShareTableFile() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    size_t slash = folder.rfind('\\');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    return folder + "\\shares.tab";
}
