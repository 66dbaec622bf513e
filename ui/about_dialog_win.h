// The About box: program, threat and data version, and the supported
// variants when the data file names any.
#pragma once
#include <windows.h>

#include "ui/window_texts.h"

void ShowAboutBox(HWND owner, const WindowTexts* texts);
