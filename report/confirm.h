// Questions to the user before the steps the data file marks for them.
#pragma once
#include <stdint.h>

// Set when the user answers Yes to All; cleared whenever the run options are
// installed, so it never carries over to the next run.
extern int32_t g_yesToAll;

// Asks before a step the data file marks for confirmation. With no detail a
// Yes/No box; with a detail (even empty) the dialog that offers Yes to All.
// Answers 'Y' or 'N'. Callers decide whether to ask at all.
int AskConfirmation(const char* question, const char* detail);
