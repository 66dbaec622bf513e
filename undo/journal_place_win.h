// Making the journal's place: \Mendrix and \Mendrix\Undo on the drive that
// holds Windows, a folder for the run, and its files. On the NT family each
// is made with the journal's access list (Administrators and SYSTEM only),
// and a folder found there that another account owns or may write to is
// moved aside, with a line in the report, for a new one.
#pragma once
#include <windows.h>

#include <string>

#include "undo/journal.h"

// The calls that make the folders and files, in a table so that a test can
// see what they are made with.
struct JournalCreateCalls {
    BOOL(WINAPI* createDirectory)(LPCSTR path, LPSECURITY_ATTRIBUTES security);
    HANDLE(WINAPI* createFile)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE model);
};
extern JournalCreateCalls g_journalCreateCalls;

// Makes \Mendrix and \Mendrix\Undo where missing, and moves aside what
// cannot be trusted there. False, with the problem, when they cannot be had.
bool MakeUndoRoot(std::string* problem);
// Makes the run's folder under the root, named after the time the run
// started. False, with the problem, when it cannot be made.
bool MakeJournalFolder(const JournalTime& started, std::string* folder, std::string* problem);
// Creates a new file in the journal's folder for writing, with the
// journal's access list.
HANDLE CreateJournalFile(const std::string& path);
