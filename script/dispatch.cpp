#include "script/dispatch.h"

#include <string.h>

#include "script/settings.h"
#include "report/message.h"
#include "report/confirm.h"
#include "script/data_error.h"
#include "script/grammar.h"
#include "script/message_elements.h"
#include "script/text_util.h"

int32_t g_identitySeen = 0;
int32_t g_defaultMessagesDepth = 0;

void ResetElementStack(ParseContext* context) {
    for (int i = 0; i < ELEMENT_STACK_SIZE; ++i) {
        context->stack[i].index = ELEMENT_IGNORED;
        context->stack[i].children = nullptr;
        context->stack[i].text = TextTail{};
    }
    context->stack[0].children = kRootTable;
    context->depth = 0;
}

static bool IsPrintOrLog(int32_t index) { return index == ELEMENT_PRINT || index == ELEMENT_LOG; }

// Applies os, confirm, Infected and DefaultMessages. Answers false when the
// element is excluded.
static bool ApplyGenericAttributes(ParseContext* context, const char* name, const char** attributes,
                                   const ElementEntry* parentTable) {
    for (const char** a = attributes; a && a[0]; a += 2) {
        const char* key = a[0];
        const char* value = a[1];
        if (strcmp(key, "os") == 0) {
            bool excluded = (strcmp(value, "WIN9X") == 0 && (context->flags & RUN_WINNT)) ||
                            (strcmp(value, "WINNT") == 0 && (context->flags & RUN_WIN9X));
            if (excluded) {
                if (strcmp(name, "CLEANER") == 0) {
                    context->flags |= RUN_SKIP;
                    ReportMessage(MSG_ERROR, "\r\nUnsupported operating system platform!\r\n");
                }
                return false;
            }
        } else if (strcmp(key, "confirm") == 0) {
            // A report-only run asks nothing: it reports what a Yes would do.
            if (g_settings.confirmation != 0 && !g_settings.reportOnly && parentTable == kIdentityTable) {
                int answer = AskConfirmation(value, nullptr);
                if (answer != 'Y' && answer != 'y') return false;
            }
        } else if (strcmp(key, "Infected") == 0) {
            if ((EqualsIgnoreCase(value, "true") && g_infected == 0) ||
                (EqualsIgnoreCase(value, "false") && g_infected == 1))
                return false;
        } else if (strcmp(key, "DefaultMessages") == 0) {
            if (EqualsIgnoreCase(value, "off")) {
                g_report.switches &= ~SWITCH_DEFAULT_MESSAGES;
                g_defaultMessagesDepth = context->depth;
            }
        }
    }
    return true;
}

void OnStartElement(void* userData, const char* name, const char** attributes) {
    ParseContext* context = static_cast<ParseContext*>(userData);
    if (context->depth >= ELEMENT_STACK_SIZE - 1) {
        // Past the deepest level the stack holds. The pass is in skip mode
        // from here on; keep counting so that end tags pair up.
        ReportDataError(context, DATA_ERROR_ELEMENT);
        context->overflow++;
        return;
    }
    const ElementEntry* parentTable = context->stack[context->depth].children;
    context->depth++;
    ElementSlot* slot = &context->stack[context->depth];
    slot->index = ELEMENT_IGNORED;
    slot->children = nullptr;
    slot->text = TextTail{};

    if (!g_identitySeen && strcmp(name, "IDENTITY") == 0) {
        g_identitySeen = 1;
        return;
    }
    if ((context->flags & RUN_SKIP) && strcmp(name, "CLEANER") != 0 && strcmp(name, "HELP") != 0) return;
    if (!ApplyGenericAttributes(context, name, attributes, parentTable)) return;

    if (strcmp(name, "PRINT") == 0) {
        slot->index = ELEMENT_PRINT;
        return;
    }
    if (strcmp(name, "LOG") == 0) {
        slot->index = ELEMENT_LOG;
        return;
    }
    if (!parentTable) return;

    for (int32_t i = 0; parentTable[i].name; ++i) {
        if (strcmp(parentTable[i].name, name) == 0) {
            slot->index = i;
            slot->children = parentTable[i].children;
            if (parentTable[i].onStart) parentTable[i].onStart(context, name, attributes);
            return;
        }
    }
    ReportDataError(context, DATA_ERROR_ELEMENT);
}

// The row of the open element at depth d, or null when it is not entered.
static const ElementEntry* EnteredRow(const ParseContext* context, int32_t d) {
    int32_t index = context->stack[d].index;
    const ElementEntry* parentTable = context->stack[d - 1].children;
    if (index < 0 || !parentTable) return nullptr;
    return &parentTable[index];
}

void OnCharacterData(void* userData, const char* characters, int length) {
    ParseContext* context = static_cast<ParseContext*>(userData);
    if ((context->flags & RUN_SKIP) || context->depth == 0 || context->overflow) return;
    int32_t d = context->depth;
    if (IsPrintOrLog(context->stack[d].index)) {
        if (context->stack[d - 1].children) CollectMessageText(context, characters, length);
        return;
    }
    const ElementEntry* row = EnteredRow(context, d);
    if (row && row->onText) row->onText(context, characters, length);
}

void OnEndElement(void* userData, const char* name) {
    ParseContext* context = static_cast<ParseContext*>(userData);
    if (context->depth == 0) return;
    if (context->overflow) {
        context->overflow--;
        return;
    }
    int32_t d = context->depth;
    if (IsPrintOrLog(context->stack[d].index)) {
        if (context->stack[d - 1].children) OutputMessageText(context, context->stack[d].index);
    } else {
        const ElementEntry* row = EnteredRow(context, d);
        if (row && row->onEnd) row->onEnd(context, name);
    }
    context->stack[d].index = ELEMENT_IGNORED;
    context->stack[d].children = nullptr;
    context->stack[d].text = TextTail{};
    if (!(g_report.switches & SWITCH_DEFAULT_MESSAGES) && d == g_defaultMessagesDepth)
        g_report.switches |= SWITCH_DEFAULT_MESSAGES;
    context->depth--;
}
