#include "disk/held_file_win.h"

#include "disk/nt_file_information_win.h"

namespace {

const DWORD kHeldAccess = GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES;

HANDLE OpenWith(const HeldFile* held, const char* path, DWORD access) {
    if (held->place.directory) return OpenListed(held->place, access, FILE_SHARE_READ, NT_FILE_NON_DIRECTORY_FILE);
    return CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// GENERIC_WRITE brings FILE_WRITE_ATTRIBUTES with it, GENERIC_READ what the
// identity needs.
bool Grants(DWORD held, DWORD wanted) {
    if (held & GENERIC_WRITE) held |= FILE_WRITE_ATTRIBUTES;
    return (held & wanted) == wanted;
}

// Opens path with access and keeps the handle only when it is the held
// file. held->handle is closed on entry.
bool Reopen(HeldFile* held, const char* path, DWORD access) {
    HANDLE handle = OpenWith(held, path, access);
    if (!IsTheHeldFile(handle, held)) return false;
    held->handle = handle;
    held->access = access;
    return true;
}

}  // namespace

bool IsTheHeldFile(HANDLE handle, const HeldFile* held) {
    if (handle == INVALID_HANDLE_VALUE) return false;
    FileIdentity identity;
    if (held->identified && ReadFileIdentity(handle, &identity) && SameFile(identity, held->identity)) return true;
    CloseHandle(handle);
    SetLastError(ERROR_NOT_THE_CHECKED_FILE);
    return false;
}

bool OpenHeldFile(const char* path, HeldFile* held, const ListedPlace* place) {
    held->place = place && CanOpenListed() ? *place : ListedPlace{nullptr, nullptr, 0};
    held->access = kHeldAccess;
    held->handle = OpenWith(held, path, held->access);
    if (held->handle == INVALID_HANDLE_VALUE) {
        held->access = GENERIC_READ;
        held->handle = OpenWith(held, path, held->access);
    }
    if (held->handle == INVALID_HANDLE_VALUE) {
        held->error = GetLastError();
        held->identified = false;
        return false;
    }
    held->error = 0;
    held->identified = ReadFileIdentity(held->handle, &held->identity);
    return true;
}

void LetGoOfFile(HeldFile* held) {
    if (held->handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(held->handle);
    held->handle = INVALID_HANDLE_VALUE;
    held->error = ERROR_INVALID_HANDLE;
}

bool GainAccess(HeldFile* held, const char* path, DWORD access) {
    if (held->handle == INVALID_HANDLE_VALUE) {
        SetLastError(held->error);
        return false;
    }
    if (Grants(held->access, access)) return true;
    DWORD before = held->access;
    CloseHandle(held->handle);
    held->handle = INVALID_HANDLE_VALUE;
    if (Reopen(held, path, GENERIC_READ | access)) return true;
    DWORD error = GetLastError();
    if (!Reopen(held, path, before)) held->error = GetLastError();
    SetLastError(error);
    return false;
}

bool PathStillNames(const char* path, const HeldFile* held, HANDLE* fresh) {
    if (held->handle == INVALID_HANDLE_VALUE) {
        SetLastError(held->error);
        return false;
    }
    // Attributes only: no sharing is needed, and none is refused.
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!IsTheHeldFile(handle, held)) return false;
    *fresh = handle;
    return true;
}
