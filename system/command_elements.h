// The UNREGDLL and EXECUTE elements: both act through their text alone,
// at their end tag.
#pragma once
#include "script/parse_context.h"

// Unregisters the COM server library the text names.
void OnUnregDllEnd(ParseContext* context, const char* name);
// Runs a quoted command line, or removes the network shares for the text
// "removeShares" in a run started with -s; other texts go to the plugin.
void OnExecuteEnd(ParseContext* context, const char* name);

struct SplicedLine;
// The command line of a quoted EXECUTE text, after the closing character is
// cut and a store substituted: what follows the opening quote, with a leading
// folder macro expanded when that succeeds. line receives it with the places
// of the store's value and the folder in it. False when memory ran out. The
// text must begin with a double quote.
bool QuotedCommandLine(const char* text, SplicedLine* line);
