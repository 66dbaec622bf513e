// The counts written at the end of a run that did its work.
#pragma once
#include <stdint.h>

// Writes the line break and, for each group the run flags name, its lines.
void WriteSummary(uint32_t runFlags, int32_t threatType);
