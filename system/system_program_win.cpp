#include "system/system_program_win.h"

#include <windows.h>
#include <string.h>

namespace {

typedef UINT(WINAPI* FolderCall)(LPSTR, UINT);

// folder\name, with ".exe" when the name has no extension.
bool Candidate(FolderCall folderCall, const char* name, size_t length, char* out, size_t size) {
    UINT folder = folderCall(out, static_cast<UINT>(size));
    if (folder == 0 || folder >= size) return false;
    bool separator = out[folder - 1] != '\\';
    bool extension = memchr(name, '.', length) != nullptr;
    size_t total = folder + (separator ? 1 : 0) + length + (extension ? 0 : 4);
    if (total >= size) return false;
    if (separator) out[folder++] = '\\';
    memcpy(out + folder, name, length);
    memcpy(out + folder + length, extension ? "" : ".exe", extension ? 1 : 5);
    return true;
}

bool IsFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadAt(HANDLE file, LONG offset, void* into, DWORD size) {
    DWORD got = 0;
    if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    return ReadFile(file, into, size, &got, nullptr) && got == size;
}

}  // namespace

bool FindSystemProgram(const char* name, size_t length, char* out, size_t size) {
    static const FolderCall kFolders[] = {GetSystemDirectoryA, GetWindowsDirectoryA};
    for (FolderCall folder : kFolders)
        if (Candidate(folder, name, length, out, size) && IsFile(out)) return true;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

bool IsWin32Image(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    bool image = ReadAt(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE && dos.e_lfanew > 0 &&
                 ReadAt(file, dos.e_lfanew, &signature, sizeof signature) && signature == IMAGE_NT_SIGNATURE;
    CloseHandle(file);
    return image;
}
