// The three parser callbacks, which route each event to its element.
#pragma once
#include "script/parse_context.h"

// Set by the first IDENTITY start tag of the process; ends the header pass.
extern int32_t g_identitySeen;
// Depth of the element that last turned default messages off.
extern int32_t g_defaultMessagesDepth;

void OnStartElement(void* userData, const char* name, const char** attributes);
void OnCharacterData(void* userData, const char* characters, int length);
void OnEndElement(void* userData, const char* name);

// Sets every stack entry to (ignored, none) and entry 0 to the root table.
void ResetElementStack(ParseContext* context);
