// Positions in a file as the ACTION element writes them: "1A0", "end - 200",
// "pattern1+10". Numbers are hexadecimal.
#pragma once
#include "script/action_record.h"

// Fills the position from the text. A malformed text never fails: whatever
// could not be read keeps the value it had.
void ParsePosition(PositionSpec* position, const char* text);
