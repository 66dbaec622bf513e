// The -undo command of the programs: the log opened as for a scan, then the
// journal put back or listed as the run options say.
#pragma once

// Answers the exit code.
int RunUndo();
