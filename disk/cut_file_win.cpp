// The cut: the file's bytes before and after the range go into a new
// temporary file, which is then written back over the file. Until then the
// file itself is only read, so any failure before leaves it as it was.
#include <windows.h>
#include <stdlib.h>

#include "disk/file_actions.h"
#include "disk/held_file_win.h"

namespace {

const char kTempPrefix[] = "mdx";
const DWORD kPieceSize = 64 * 1024;

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

// The folder for the temporary file: the user's, or the current drive's root.
void TempFolder(char* folder) {
    DWORD folderLength = GetTempPathA(MAX_PATH, folder);
    if (folderLength == 0 || folderLength >= MAX_PATH) lstrcpyA(folder, "\\");
}

// The 9x family: the file is opened again by path, and the temporary file
// copied over it by name.
bool CutByPath(const char* path, uint32_t size, const CutRange& range) {
    char folder[MAX_PATH];
    TempFolder(folder);
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

// A temporary file that this call made and nobody else can open: a name
// that stood already (a file, or a link a user put there in a temp folder
// that everyone may write to) is never opened. It goes when it is closed.
HANDLE CreateTempFile() {
    char folder[MAX_PATH];
    TempFolder(folder);
    UINT unique = GetTickCount() & 0xFFFF;
    for (int attempt = 0; attempt < 0x10000; ++attempt, ++unique) {
        if ((unique & 0xFFFF) == 0) continue;  // 0 asks for a name the system picks and creates
        char tempName[MAX_PATH];
        if (GetTempFileNameA(folder, kTempPrefix, unique & 0xFFFF, tempName) == 0) return INVALID_HANDLE_VALUE;
        HANDLE temp = CreateFileA(tempName, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (temp != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return temp;
    }
    return INVALID_HANDLE_VALUE;
}

// Writes the temporary file's count bytes over the file from its start and
// ends the file there.
bool WriteBack(HANDLE temp, HANDLE file, uint32_t count) {
    if (SetFilePointer(temp, 0, nullptr, FILE_BEGIN) != 0) return false;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return false;
    unsigned char* buffer = static_cast<unsigned char*>(malloc(kPieceSize));
    if (!buffer) return false;
    bool ok = true;
    while (ok && count > 0) {
        DWORD piece = count < kPieceSize ? count : kPieceSize;
        DWORD got = 0, put = 0;
        ok = ReadFile(temp, buffer, piece, &got, nullptr) && got == piece &&
             WriteFile(file, buffer, piece, &put, nullptr) && put == piece;
        count -= piece;
    }
    free(buffer);
    return ok && SetEndOfFile(file);
}

// The NT family: everything through the held file and the temporary file's
// handle, nothing by name.
bool CutThroughHandles(const char* path, uint32_t size, const CutRange& range, HeldFile* held) {
    if (!GainAccess(held, path, GENERIC_WRITE)) return false;
    HANDLE temp = CreateTempFile();
    if (temp == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteKeptBytes(held->handle, temp, size, range) &&
              WriteBack(temp, held->handle, range.start + (size - range.end));
    CloseHandle(temp);
    return ok;
}

}  // namespace

bool CutFile(const char* path, FileRecord* record, uint32_t size, HeldFile* held) {
    if (!path || !record) return false;
    CutRange range;
    if (!FindCutRange(record, size, &range)) return false;
    return held ? CutThroughHandles(path, size, range, held) : CutByPath(path, size, range);
}
