#include "script/action_element.h"

void OnActionStart(ParseContext* context, const char* name, const char** attributes) {}
