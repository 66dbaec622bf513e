// The SERVICE element: its text names one service to stop and delete.
#pragma once
#include "script/parse_context.h"

void OnServiceEnd(ParseContext* context, const char* name);
