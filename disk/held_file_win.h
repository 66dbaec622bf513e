// A file found by the walk, held open from its check until the action on it
// is done. Between the two the user may be asked, for minutes; meanwhile a
// user of the machine could turn the file's folder into a link to another
// folder holding a file of the same name. Everything done to the file goes
// through this handle, or through one opened afresh and shown to be the
// same file, so that only the file that was checked is changed.
#pragma once
#include <windows.h>

#include "disk/file_identity_win.h"
#include "disk/listed_place_win.h"

struct HeldFile {
    HANDLE handle;  // INVALID_HANDLE_VALUE when not open
    DWORD access;   // what the handle may do
    FileIdentity identity;
    bool identified;  // false: the system gave no identity, nothing can be compared
    DWORD error;      // why the file is not open, when it is not
    // Where the walk listed it, to open it there again; a null directory:
    // by path.
    ListedPlace place;
};

// Opens the file with read sharing only: for reading, deleting and setting
// its attributes, or where that is refused (a program holds it without
// delete sharing), for reading alone. place, where not null, is where the
// walk listed the file: it is opened there rather than by path. False with
// the error kept in held and in the thread's last error when it cannot be
// opened at all.
bool OpenHeldFile(const char* path, HeldFile* held, const ListedPlace* place = nullptr);
// Closes the handle; the file is no longer held.
void LetGoOfFile(HeldFile* held);

// Makes sure the handle may do what access names. Where it may not, the
// file is opened again (where it was listed, else by path) with that access
// added, and the new handle
// is kept only when it is the same file; the handle held so far has to be
// closed first, since its sharing keeps out any other writer or deleter.
// False, with the thread's last error, when the file could not be had again
// with that access; it is then held as before where it still can be.
bool GainAccess(HeldFile* held, const char* path, DWORD access);

// Whether the path still names the held file, by a fresh open that keeps
// nobody out. When it does, *fresh is that open handle (the caller closes
// it); else false with ERROR_FILE_INVALID or the open's error.
bool PathStillNames(const char* path, const HeldFile* held, HANDLE* fresh);

// Whether a fresh handle names the held file; one that does not (or that
// could not be read) is closed, with ERROR_NOT_THE_CHECKED_FILE.
bool IsTheHeldFile(HANDLE handle, const HeldFile* held);

// Written to the thread's last error when a path no longer names the file
// that was checked.
enum : DWORD { ERROR_NOT_THE_CHECKED_FILE = ERROR_FILE_INVALID };
