// Graphics loaded once at start and shared by the windows for the life of
// the process.
#pragma once
#include <windows.h>

struct SharedResources {
    HINSTANCE instance;
    HICON programIcon;
    HBITMAP scanBitmap;
    HBITMAP settingsBitmap;
    HFONT boldFont;
};

extern SharedResources g_shared;

void LoadSharedResources(HINSTANCE instance);
void FreeSharedResources();
