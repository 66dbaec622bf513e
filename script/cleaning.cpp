#include "script/cleaning.h"

const CleaningWork* g_cleaning = nullptr;
