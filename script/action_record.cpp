#include "script/action_record.h"

#include <stdlib.h>

#include "script/pattern_record.h"

ActionRecord* NewActionRecord() {
    ActionRecord* action = static_cast<ActionRecord*>(calloc(1, sizeof(ActionRecord)));
    if (!action) return nullptr;
    action->start.origin = ORIGIN_START;
    action->end.origin = ORIGIN_END;
    return action;
}

void FreeLibraryRef(LibraryRef* library) {
    if (!library) return;
    free(library->name);
    free(library);
}

LibraryRef* NewLibraryRef(char* name) {
    LibraryRef* library = static_cast<LibraryRef*>(calloc(1, sizeof(LibraryRef)));
    if (!library) {
        free(name);
        return nullptr;
    }
    library->name = name;
    return library;
}

void FreeActionRecord(ActionRecord* action) {
    if (!action) return;
    char* texts[] = {action->keyword,     action->confirm,   action->message,
                     action->destination, action->storeName, action->parameters};
    for (char* t : texts) free(t);
    FreePatternList(action->patches);
    FreeLibraryRef(action->library);
    free(action);
}
