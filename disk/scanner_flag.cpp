// The run's "scanner suspended" flag lives apart from the Win32 client so
// the platform-free disk group links in the native tree too.
#include "disk/scanner.h"

int32_t g_scannerSuspended = 0;
