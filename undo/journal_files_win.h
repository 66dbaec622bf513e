// The journal folders on disk: where they live, and the reading of
// manifests (checked, on the NT family, to belong to a trusted account) and
// their marking as restored.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "undo/journal.h"

// "C:\Mendrix\Undo" on the drive that holds Windows.
std::string UndoRoot();
// The names of the journal folders under the root.
std::vector<std::string> JournalFolders();

std::string ManifestPath(const std::string& folder);
// Reads a journal's manifest, of either version. On the NT family the
// folder and the manifest must belong to Administrators, SYSTEM or the
// account running the program: otherwise nothing is read, and *refused is
// set. False with the problem.
bool ReadManifest(const std::string& folder, Journal* journal, std::string* problem, bool* refused);
// Marks the journal restored at the time: a version-2 log gets a record at
// its end, after any line a cut-off run left unfinished is taken off; a
// version-1 manifest is written anew.
bool MarkRestored(const std::string& folder, Journal* journal, const std::string& time, std::string* problem);

// The reason a Win32 call failed, in words for the report.
std::string ProblemText(DWORD error);

uint64_t FileTimeValue(const FILETIME& time);
FILETIME FileTimeOf(uint64_t value);
