// The machine work of the Win32 programs, for g_cleaning.
#pragma once
#include "script/cleaning.h"

const CleaningWork* Win32CleaningWork();
