#include <windows.h>

#include "report/run_report.h"

uint32_t PlatformLastError() { return GetLastError(); }
