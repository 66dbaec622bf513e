// The cut: the file's bytes before and after the range go into a new
// temporary file, which is then copied over the file. Until that copy the
// file itself is only read, so any failure leaves it as it was.
#include <windows.h>
#include <stdlib.h>

#include "disk/file_actions.h"

namespace {

const char kTempPrefix[] = "mdx";

// Reads count bytes from the file's current position and writes them to out.
bool CopyBytes(HANDLE file, HANDLE out, uint32_t count) {
    unsigned char* buffer = (unsigned char*)malloc(count);
    if (!buffer) return false;
    DWORD got = 0, put = 0;
    bool ok = ReadFile(file, buffer, count, &got, nullptr) && got == count &&
              WriteFile(out, buffer, count, &put, nullptr) && put == count;
    free(buffer);
    return ok;
}

// Both handles are open; answers whether the temporary file got the kept bytes.
bool WriteKeptBytes(HANDLE file, HANDLE temp, uint32_t size, const CutRange& range) {
    // The walk's size must still be the file's: had it grown, the bytes past
    // it would be lost; had it shrunk, the found positions may be stale.
    DWORD high = 0;
    if (GetFileSize(file, &high) != size || high != 0) return false;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return false;
    if (SetFilePointer(temp, 0, nullptr, FILE_BEGIN) != 0) return false;
    if (range.start > 0 && !CopyBytes(file, temp, range.start)) return false;
    if (range.end < size) {
        // A zero high word makes the offset unsigned: files of 2 GB and more
        // are cut at the right place too.
        LONG highPart = 0;
        if (SetFilePointer(file, (LONG)range.end, &highPart, FILE_BEGIN) != range.end || highPart != 0) return false;
        if (!CopyBytes(file, temp, size - range.end)) return false;
    }
    return true;
}

}  // namespace

bool CutFile(const char* path, FileRecord* record, uint32_t size) {
    if (!path || !record) return false;
    CutRange range;
    if (!FindCutRange(record, size, &range)) return false;

    char folder[MAX_PATH];
    DWORD folderLength = GetTempPathA(sizeof folder, folder);
    if (folderLength == 0 || folderLength >= sizeof folder) lstrcpyA(folder, "\\");
    char tempName[MAX_PATH];
    if (GetTempFileNameA(folder, kTempPrefix, 0, tempName) == 0) return false;

    bool ok = false;
    HANDLE temp = CreateFileA(tempName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (temp != INVALID_HANDLE_VALUE && file != INVALID_HANDLE_VALUE) ok = WriteKeptBytes(file, temp, size, range);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (temp != INVALID_HANDLE_VALUE) CloseHandle(temp);
    if (ok) ok = CopyFileA(tempName, path, FALSE) != 0;
    // Nothing reads the temporary file afterwards; leaving it would only
    // litter the user's temp folder.
    DeleteFileA(tempName);
    return ok;
}
