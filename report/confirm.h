// Questions to the user before the steps the data file marks for them.
#pragma once
#include <stdint.h>

// Set when the user answers Yes to All; cleared whenever the run options are
// installed, so it never carries over to the next run.
extern int32_t g_yesToAll;
