// The message sinks of the Win32 build: files through WriteFile, lines and
// counters into the main window's controls.
#pragma once
#include "report/message.h"

// Control ids of the main window that the sinks write to.
enum {
    IDC_MESSAGE_LIST = 1010,
    IDC_STATUS_LINE = 1020,
    IDC_COUNT_FILES_FOUND = 1029,
    IDC_COUNT_REGKEYS_AFFECTED = 1030,
    IDC_COUNT_PROCESSES_FOUND = 1031,
    IDC_COUNT_FILES_DELETED = 1032,
    IDC_COUNT_REGKEYS_CHANGED = 1033,
    IDC_COUNT_PROCESSES_TERMINATED = 1034,
};

const MessageSinks* Win32MessageSinks();
