// The Win32 file operations behind the file actions. On the NT family each
// works through the file held open since the check; on the 9x family, which
// has no way to change an open file's name or attributes, on the path.
#include <windows.h>
#include <stdlib.h>

#include "disk/file_actions.h"
#include "disk/held_file_win.h"
#include "disk/nt_family_win.h"
#include "disk/nt_file_information_win.h"

namespace {

// Answered when memory for the record ran out: a file not opened.
HeldFile g_outOfMemory = {INVALID_HANDLE_VALUE, 0, {}, false, ERROR_NOT_ENOUGH_MEMORY, {}};

bool Unreachable(const HeldFile* held) {
    if (held->handle != INVALID_HANDLE_VALUE) return false;
    SetLastError(held->error);
    return true;
}

}  // namespace

HeldFile* PlatformHoldFile(const char* path) {
    if (!OnNtFamily()) return nullptr;
    HeldFile* held = static_cast<HeldFile*>(malloc(sizeof(HeldFile)));
    if (!held) return &g_outOfMemory;
    OpenHeldFile(path, held);
    return held;
}

void PlatformReleaseFile(HeldFile* held) {
    if (!held || held == &g_outOfMemory) return;
    LetGoOfFile(held);
    free(held);
}

void* PlatformOpenFile(HeldFile* held) {
    return held && held->handle != INVALID_HANDLE_VALUE ? held->handle : nullptr;
}

void PlatformPrepareToWrite(const char* path, HeldFile* held) {
    if (held) GainAccess(held, path, GENERIC_WRITE);
}

bool PlatformClearAttributes(const char* path, HeldFile* held) {
    if (!held) return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
    if (Unreachable(held)) return false;
    // Setting attributes needs no sharing: the held handle may stay.
    if (!NtFileInformation()) return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
    if (!GainAccess(held, path, FILE_WRITE_ATTRIBUTES)) return false;
    NtBasicInformation basic = {};
    basic.fileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformation(held->handle, NT_FILE_BASIC_INFORMATION, &basic, sizeof basic);
}

bool PlatformDeleteFile(const char* path, HeldFile* held) {
    if (!held) return DeleteFileA(path) != 0;
    if (Unreachable(held)) return false;
    if (!NtFileInformation()) {
        // The held handle does not share deletion: it has to go first.
        LetGoOfFile(held);
        return DeleteFileA(path) != 0;
    }
    if (!GainAccess(held, path, DELETE)) return false;
    NtDispositionInformation disposition = {1};
    if (!SetFileInformation(held->handle, NT_FILE_DISPOSITION_INFORMATION, &disposition, sizeof disposition))
        return false;
    // The file goes when its last handle is closed: by the time the run
    // says it is deleted, it is.
    LetGoOfFile(held);
    return true;
}

bool PlatformCopyFile(const char* from, const char* to, HeldFile* held) {
    // A copy leaves the file as it is, and the system's copy may open it
    // without the sharing the held handle would need.
    if (held) LetGoOfFile(held);
    return CopyFileA(from, to, FALSE) != 0;
}

bool PlatformMoveFile(const char* from, const char* to, HeldFile* held) {
    if (!held) return MoveFileA(from, to) != 0;
    HANDLE fresh;
    if (!PathStillNames(from, held, &fresh)) return false;
    // The move renames by path and needs delete sharing, which the held
    // handle does not give; the fresh handle gives it and stays open.
    LetGoOfFile(held);
    bool moved = MoveFileA(from, to) != 0;
    DWORD error = GetLastError();
    CloseHandle(fresh);
    SetLastError(error);
    return moved;
}
