// Taking back a change a run left for the next start of Windows, for -undo
// before that start.
#pragma once

enum RestartTakeBack {
    RESTART_TAKEN_BACK,   // the pending operation is gone: Windows will not make it
    RESTART_NOT_PENDING,  // no such operation waits (Windows has started since)
    RESTART_CANNOT_TAKE_BACK,
};

// entry is the pending operation as PlatformScheduleAtRestart wrote it;
// move says whether it moves the file (else it deletes it).
RestartTakeBack TakeBackAtRestart(const char* entry, bool move);
