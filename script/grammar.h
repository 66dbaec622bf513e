// Grammar tables: which elements may appear inside which, and the handlers
// that serve them. Constant data; rows in the order the grammar lists them.
#pragma once
#include "script/parse_context.h"

typedef void (*StartHandler)(ParseContext* context, const char* name, const char** attributes);
typedef void (*TextHandler)(ParseContext* context, const char* characters, int length);
typedef void (*EndHandler)(ParseContext* context, const char* name);

struct ElementEntry {
    const char* name;  // null ends a table
    const ElementEntry* children;
    StartHandler onStart;
    TextHandler onText;
    EndHandler onEnd;
};

extern const ElementEntry kRootTable[];
extern const ElementEntry kCleanerTable[];
extern const ElementEntry kIdentityTable[];
