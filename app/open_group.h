// A pass that stops inside a group element still owes that element its end
// tag: the end handler releases what the group collected. The pass is in
// skip mode by then, so no cleaning work is done.
#pragma once
#include "script/parse_context.h"

void CloseOpenGroup(ParseContext* context);
