// The facts of a run for its machine-readable report: gathered when the run
// starts and closed, with the report written, when it ends.
#pragma once
#include <stdint.h>

// mode: "scan", "restoreShares" or "undo". Empties the run's items.
void BeginRunFacts(const char* mode);
// Notes the result and the finishing time, writes the report when -json=
// asked for one, and empties the items. Call while the log is open.
void EndRunFacts(int32_t result, bool skipMode);
