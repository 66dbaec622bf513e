// The Configuration dialog: edits the process-wide run options; the next
// scan installs them.
#pragma once
#include <windows.h>

void ShowConfiguration(HWND owner);
