// The text handler of elements whose character data is data.
#pragma once
#include "script/parse_context.h"

void CollectElementText(ParseContext* context, const char* characters, int length);
