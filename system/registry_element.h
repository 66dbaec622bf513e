// The REGISTRY element and its KEY, VALUE and VIRUSVALUE children: the KEY
// list is built while REGISTRY is open and carried out at its end.
#pragma once
#include "script/parse_context.h"

void OnRegistryStart(ParseContext* context, const char* name, const char** attributes);
// Carries out the KEY list (unless the run skips) and releases it. The scan
// run also calls it when the run stops while a REGISTRY is open.
void OnRegistryEnd(ParseContext* context, const char* name);
void OnRegistryKeyStart(ParseContext* context, const char* name, const char** attributes);
void OnRegistryValueStart(ParseContext* context, const char* name, const char** attributes);
void OnVirusValueStart(ParseContext* context, const char* name, const char** attributes);
// DEFAULT inside VALUE: its type and expand attributes, and, at its end, the
// folder macro of a text to expand.
void OnRegistryDefaultStart(ParseContext* context, const char* name, const char** attributes);
void OnRegistryDefaultEnd(ParseContext* context, const char* name);
