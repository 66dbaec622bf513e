// The undo journal as the programs use it: saving around a scan run, and
// the -undo command.
#pragma once

// Installs the saver for a scan run that reads the data file named (null
// for the built-in data). Nothing is written until the first change.
void BeginUndoJournal(const char* dataFile);
// Removes the saver. Names the journal's folder in the report when the run
// changed anything.
void EndUndoJournal();

// -undo (which empty or null), -undo=<folder> and -undo=list. Answers the
// exit code: 0 when every item came back (or the list was shown).
int RunUndoCommand(const char* which);
