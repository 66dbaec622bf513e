// The memory pass of a MEMORY element, in its order for each Windows family.
#pragma once
#include "script/parse_context.h"

struct ProcessRecord;

void ScanMemory(ParseContext* context, ProcessRecord* records);
