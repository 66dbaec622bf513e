// The ACTION keywords of PROCESS and THREAD records, as the memory passes
// compare them.
#pragma once
#include "script/action_keyword.h"

extern const ActionKeyword kMemoryKeywords[];
