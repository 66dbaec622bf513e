// The ACTION element: builds an ActionRecord and hangs it on the current
// FILE, PROCESS, THREAD, KEY or VALUE record.
#pragma once
#include "script/action_record.h"
#include "script/parse_context.h"

void OnActionStart(ParseContext* context, const char* name, const char** attributes);
