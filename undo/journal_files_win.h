// The journal folders on disk: where they live, and the whole-file reading
// and writing of manifests and saved copies.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "undo/journal.h"

// "C:\Mendrix\Undo" on the drive that holds Windows.
std::string UndoRoot();
// Creates the root's folders where missing. False when they cannot be had.
bool MakeUndoRoot(std::string* problem);
// The names of the journal folders under the root.
std::vector<std::string> JournalFolders();

std::string ManifestPath(const std::string& folder);
bool ReadManifest(const std::string& folder, Journal* journal, std::string* problem);
bool WriteManifest(const std::string& folder, const Journal& journal, std::string* problem);

// The reason a Win32 call failed, in words for the report.
std::string ProblemText(DWORD error);

uint64_t FileTimeValue(const FILETIME& time);
FILETIME FileTimeOf(uint64_t value);
