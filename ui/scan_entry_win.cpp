#include "ui/scan_entry_win.h"

const ScanEntry* g_scanEntry;
