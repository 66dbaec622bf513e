// The undo journal of an offline run, in the journal's own format (the
// log of version 2) under the installation's \Mendrix\Undo, so that this
// program's --undo and the console program's -undo on the running machine
// both put it back. Each change's record, and the saved copy of a larger
// file, is on disk before the change is made. A hive, and an INI file
// changed in place, are saved whole before they are first written, and
// come back byte for byte with their times.
#pragma once
#include <string>

// Installs the saver for the run; nothing is written until the first change.
void BeginOfflineJournal(char driveLetter, const char* dataFile);
// Saves a whole file (a hive, an INI file) before it is replaced.
bool SaveWholeFileForUndo(const std::string& windowsPath);
// Says of every file saved whole, once the hives are written, how it was
// left: replaced (with its size and write time, so that undo puts it back
// only while it is still so), or not changed at all.
void NoteWholeFilesReplaced();
// Removes the saver, closes the journal and names its folder in the log.
void EndOfflineJournal();
// --undo: the latest journal (or the one named, or "list"). Answers the
// exit code.
int RestoreOfflineJournal(char driveLetter, const char* which);
