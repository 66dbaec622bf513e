// The head of every run's log section and of the window's message list.
#pragma once
#include "script/version.h"

#define MENDRIX_VERSION_LINE "MENDRIX Version " MENDRIX_VERSION
// The notice that follows the version line.
#define MENDRIX_NOTICE_LINE "Single-threat disinfection and removal tool\r\n"
