// The passes over the found processes: terminate, restart, suspend, and
// posting a thread message.
#pragma once
#include <stdint.h>

struct ProcessRecord;

enum ProcessPass { PASS_TERMINATE, PASS_RESTART, PASS_SUSPEND, PASS_POST_MESSAGE };

// Answers how many processes the pass terminated or suspended.
int32_t RunProcessPass(ProcessRecord* records, ProcessPass pass, bool nt);
