#include "report/run_report.h"

// Tests set what the native stand-ins of Windows calls "failed" with.
uint32_t g_fakeLastError = 0;

uint32_t PlatformLastError() { return g_fakeLastError; }
