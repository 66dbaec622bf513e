// The log of a scan or an undo run: opened at its start, appended to, and
// closed at its end.
#pragma once

// Opens the log path of the settings for appending and writes the banner.
// A log that cannot be opened, or a file that must not be written (see
// report/own_file_win.h), is reported and the run goes on without a log.
bool OpenRunLog();
void CloseRunLog();
