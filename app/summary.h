// The counts written at the end of a run that did its work.
#pragma once
#include <stdint.h>

// Writes the line break and, for each group the run flags name, its lines;
// a report-only run's summary ends by saying that nothing was changed.
void WriteSummary(uint32_t runFlags, int32_t threatType, bool reportOnly = false);
