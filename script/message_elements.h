// PRINT and LOG: texts the data file shows to the user.
#pragma once
#include "script/parse_context.h"

void CollectMessageText(ParseContext* context, const char* characters, int length);
// At the end tag; which is ELEMENT_PRINT or ELEMENT_LOG.
void OutputMessageText(ParseContext* context, int32_t which);
