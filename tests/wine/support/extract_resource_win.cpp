#include "support/extract_resource_win.h"

#include <windows.h>

bool ExtractResourceFile(const char* resourceName, const std::string& path) {
    HRSRC found = FindResourceA(nullptr, resourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(nullptr, found);
    if (!bytes) return false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

std::string InstallSystemLibrary(const char* resourceName, const char* fileName) {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return "";
    std::string path = std::string(folder) + "\\" + fileName;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return "";
    return ExtractResourceFile(resourceName, path) ? path : "";
}
