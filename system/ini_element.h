// The INIFILE element and its KEY children: the entries of one INI file,
// collected while INIFILE is open and examined at its end.
#pragma once
#include "script/parse_context.h"

void OnIniFileStart(ParseContext* context, const char* name, const char** attributes);
// Examines the entries (unless the run skips) and releases the element's
// state. The scan run also calls it when the run stops inside an INIFILE.
void OnIniFileEnd(ParseContext* context, const char* name);
void OnIniKeyStart(ParseContext* context, const char* name, const char** attributes);
