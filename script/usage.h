// The scan run's usage text, written when a data file names no data.
#pragma once

void PrintUsage();
