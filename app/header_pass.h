// The header pass: reads the data file up to its IDENTITY element, so that
// the threat's name, type, version and variants are known before any scan.
#pragma once

// Makes window the output window first. Answers 0, or the error code:
// 3 (no data), 9 (not well-formed), 10 (corrupt) or 12 (out of memory).
int LoadDataHeader(void* window);
