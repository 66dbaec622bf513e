#include "script/element_text.h"

#include <string.h>

#include "script/data_error.h"
#include "script/grammar.h"
#include "script/text_util.h"

// The slot an element's text goes to. Elements whose records belong to a
// subsystem not yet built have none.
static char** FindTextSlot(ParseContext* context, const char* element) {
    if (strcmp(element, "HELP") == 0) return &context->helpText;
    if (strcmp(element, "EXECUTE") == 0 || strcmp(element, "UNREGDLL") == 0) return &context->commandText;
    if (strcmp(element, "SERVICE") == 0) return &context->serviceText;
    return nullptr;
}

void CollectElementText(ParseContext* context, const char* characters, int length) {
    const ElementSlot& slot = context->stack[context->depth];
    const ElementEntry* parentTable = context->stack[context->depth - 1].children;
    const char* element = parentTable[slot.index].name;
    char** target = FindTextSlot(context, element);
    if (!target) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    if (!AppendText(target, characters, static_cast<size_t>(length))) ReportDataError(context, DATA_ERROR_MEMORY);
}
