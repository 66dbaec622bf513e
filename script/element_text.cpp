#include "script/element_text.h"

#include <string.h>

#include "disk/directory_list.h"
#include "script/action_record.h"
#include "script/data_error.h"
#include "script/grammar.h"
#include "script/text_util.h"
#include "system/ini_entries.h"
#include "system/registry_records.h"

// The current VALUE of the current KEY of a REGISTRY group, if any.
static ValueRecord* CurrentRegistryValue(ParseContext* context) {
    KeyRecord* key = static_cast<KeyRecord*>(context->groupRecord);
    return key ? key->values : nullptr;
}

static char** RegistryDefaultSlot(ParseContext* context) {
    ValueRecord* value = CurrentRegistryValue(context);
    return value ? &value->defaultText : nullptr;
}

static char** RegistryVirusValueSlot(ParseContext* context) {
    ValueRecord* value = CurrentRegistryValue(context);
    return value && value->virusValues ? &value->virusValues->text : nullptr;
}

// DEFAULT and VIRUSVALUE inside INIFILE go to its newest KEY.
static char** IniKeyTextSlot(ParseContext* context, bool virusText) {
    IniKeyRecord* key = static_cast<IniKeyRecord*>(context->iniKeys);
    if (!key) return nullptr;
    return virusText ? &key->virusText : &key->defaultText;
}

static char** DirectorySlot() {
    if (g_directoryCount < 0 || g_directoryCount > MAX_DIRECTORIES) return nullptr;
    return &g_directories[g_directoryCount];
}

static char** FindTextSlot(ParseContext* context, const char* element) {
    bool inRegistry = (context->flags & RUN_IN_REGISTRY) != 0;
    bool inIniFile = !inRegistry && (context->flags & RUN_IN_INIFILE);
    if (strcmp(element, "HELP") == 0) return &context->helpText;
    if (strcmp(element, "DIRECTORY") == 0) return DirectorySlot();
    if (strcmp(element, "EXECUTE") == 0 || strcmp(element, "UNREGDLL") == 0) return &context->commandText;
    if (strcmp(element, "SERVICE") == 0) return &context->serviceText;
    if (strcmp(element, "DEFAULT") == 0) {
        if (inRegistry) return RegistryDefaultSlot(context);
        if (inIniFile) return IniKeyTextSlot(context, false);
        return nullptr;
    }
    if (strcmp(element, "VIRUSVALUE") == 0) {
        if (inRegistry) return RegistryVirusValueSlot(context);
        if (inIniFile) return IniKeyTextSlot(context, true);
        return nullptr;
    }
    return nullptr;
}

// An ACTION's text is one word: it ends at the first line feed, carriage
// return, tab or blank. Text after that end is dropped even when the parser
// hands it over in a later piece, so that the word does not depend on where
// the parser splits the text. Until the end is met the word holds none of
// those characters, so only the new piece needs looking at.
static void AppendKeyword(ParseContext* context, ActionRecord* action, const char* characters, int length,
                          TextTail* tail) {
    if (action->keywordEnded) return;
    size_t from = TextLength(action->keyword, tail);
    if (!AppendText(&action->keyword, characters, static_cast<size_t>(length), tail)) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    size_t word = from + strcspn(action->keyword + from, "\n\r\t ");
    if (action->keyword[word]) {
        CutText(action->keyword, word, tail);
        action->keywordEnded = 1;
    }
}

void CollectElementText(ParseContext* context, const char* characters, int length) {
    ElementSlot& slot = context->stack[context->depth];
    const ElementEntry* parentTable = context->stack[context->depth - 1].children;
    const char* element = parentTable[slot.index].name;
    if (strcmp(element, "ACTION") == 0) {
        ActionRecord** action = CurrentActionSlot(context);
        if (action && *action)
            AppendKeyword(context, *action, characters, length, &slot.text);
        else
            ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    char** target = FindTextSlot(context, element);
    if (!target) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    if (!AppendText(target, characters, static_cast<size_t>(length), &slot.text))
        ReportDataError(context, DATA_ERROR_MEMORY);
}
