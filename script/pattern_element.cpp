#include "script/pattern_element.h"

void OnPatternStart(ParseContext* context, const char* name, const char** attributes) {}
void OnPatternText(ParseContext* context, const char* characters, int length) {}
