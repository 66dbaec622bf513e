#include "report/own_file_win.h"

#include "disk/nt_family_win.h"

// Whether the open file is known to have another name or to be a link. A
// file system that cannot say (the call fails) has no links to tell of.
static bool Planted(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION facts;
    if (!GetFileInformationByHandle(file, &facts)) return false;
    return facts.nNumberOfLinks > 1 || (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

OwnFileOpen OpenOwnFile(const char* path, DWORD access, HANDLE* file) {
    bool nt = OnNtFamily();
    // The 9x family's CreateFileA knows no reparse points; there the flags stay as they were.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (nt ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    *file = CreateFileA(path, access, 0, nullptr, OPEN_ALWAYS, flags, nullptr);
    if (*file == INVALID_HANDLE_VALUE) return OWN_FILE_FAILED;
    if (nt && Planted(*file)) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
        return OWN_FILE_REFUSED;
    }
    return OWN_FILE_OPENED;
}
