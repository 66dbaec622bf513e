// The PATTERN and PATCH elements: byte strings placed in the current FILE,
// PROCESS or THREAD record, or in its ACTION's patches.
#pragma once
#include "script/parse_context.h"
#include "script/pattern_record.h"

void OnPatternStart(ParseContext* context, const char* name, const char** attributes);
void OnPatternText(ParseContext* context, const char* characters, int length);
