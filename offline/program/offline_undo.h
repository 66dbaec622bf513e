// The undo journal of an offline run, in the journal's own format under the
// installation's \Mendrix\Undo, so that this program's --undo and the
// console program's -undo on the running machine both put it back. Files
// are saved as they are before a change; a hive, and an INI file changed
// in place, are saved whole before they are first written, and come back
// byte for byte with their times.
#pragma once
#include <string>

// Installs the saver for the run; nothing is written until the first change.
void BeginOfflineJournal(char driveLetter, const char* dataFile);
// Saves a whole file (a hive, an INI file) before it is replaced.
bool SaveWholeFileForUndo(const std::string& windowsPath);
// Notes how the replaced file now stands, so that undo puts it back only
// while it is still so.
void WholeFileReplaced(const std::string& windowsPath);
// The same for every file saved whole, once the hives are written.
void NoteWholeFilesReplaced();
// Removes the saver and names the journal folder in the log.
void EndOfflineJournal();
// --undo: the latest journal (or the one named). Answers the exit code.
int RestoreOfflineJournal(char driveLetter, const char* which);
