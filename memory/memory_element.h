// The MEMORY element and its PROCESS and THREAD children: the records are
// built while MEMORY is open and the memory pass runs at its end.
#pragma once
#include "script/parse_context.h"

// Opens an empty record list.
void OnMemoryStart(ParseContext* context, const char* name, const char** attributes);
// Builds a ProcessRecord (PROCESS or THREAD) and puts it at the head of the list.
void OnProcessStart(ParseContext* context, const char* name, const char** attributes);
// Writes the headings and runs the memory pass (unless the run is in skip
// mode), then releases the records. The scan run also calls it when the run
// stops while a MEMORY is open.
void OnMemoryEnd(ParseContext* context, const char* name);
