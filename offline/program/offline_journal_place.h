// Where an offline run keeps its journal: \Mendrix\Undo on the mounted
// installation's drive, made only of folders the run can trust, and the
// small conversions the saving and the restoring share.
#pragma once
#include <stdint.h>
#include <time.h>

#include <string>

#include "undo/journal.h"

// "C:\Mendrix\Undo" on the installation's drive.
std::string OfflineUndoRoot(char letter);
// Makes \Mendrix and \Mendrix\Undo where missing; one that is there and
// cannot be trusted is moved aside, with a line in the report, for a new
// one. *posix: the Undo folder on this system. False, with the problem,
// when they cannot be had (a link among them above all).
bool MakeOfflineUndoRoot(char letter, std::string* posix, std::string* problem);

// Makes a folder or a new file for the journal, readable by its maker
// alone, given the journal's descriptor where the mount shows one. -1 when
// it cannot; a file is open for writing.
int MakeJournalFolderAt(int parent, const char* name);
int CreateJournalFileAt(int folder, const char* name);

uint64_t FileTimeOfSpec(const struct timespec& t);
struct timespec TimespecOf(uint64_t fileTime);
JournalTime OfflineNow();
