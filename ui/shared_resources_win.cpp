#include "ui/shared_resources_win.h"

#include "ui/resource_ids.h"

SharedResources g_shared;

static HBITMAP LoadToolbarBitmap(HINSTANCE instance, int id) {
    // The bitmaps' grey background becomes the button face colour.
    return static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS | LR_DEFAULTSIZE));
}

// The stock GUI font, bold, everything else kept.
static HFONT MakeBoldFont() {
    LOGFONTA face;
    if (!GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face)) return nullptr;
    face.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&face);
}

void LoadSharedResources(HINSTANCE instance) {
    g_shared.instance = instance;
    g_shared.programIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    g_shared.scanBitmap = LoadToolbarBitmap(instance, IDB_SCAN);
    g_shared.settingsBitmap = LoadToolbarBitmap(instance, IDB_SETTINGS);
    g_shared.boldFont = MakeBoldFont();
}

void FreeSharedResources() {
    if (g_shared.scanBitmap) DeleteObject(g_shared.scanBitmap);
    if (g_shared.settingsBitmap) DeleteObject(g_shared.settingsBitmap);
    if (g_shared.boldFont) DeleteObject(g_shared.boldFont);
    g_shared.scanBitmap = nullptr;
    g_shared.settingsBitmap = nullptr;
    g_shared.boldFont = nullptr;
}
