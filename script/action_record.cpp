#include "script/action_record.h"

#include <stdlib.h>

#include "disk/file_record.h"
#include "memory/process_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "system/registry_records.h"

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

ActionRecord** CurrentActionSlot(ParseContext* context) {
    // The group record's type follows the open group, so the first group flag
    // decides how it is read.
    if (context->flags & RUN_IN_MEMORY) {
        ProcessRecord* process = static_cast<ProcessRecord*>(context->groupRecord);
        return process ? &process->action : nullptr;
    }
    if (context->flags & RUN_IN_DISK) {
        FileRecord* file = static_cast<FileRecord*>(context->groupRecord);
        return file ? &file->action : nullptr;
    }
    if (context->flags & RUN_IN_REGISTRY) {
        KeyRecord* key = static_cast<KeyRecord*>(context->groupRecord);
        if (!key) return nullptr;
        return key->values ? &key->values->action : &key->action;
    }
    return nullptr;
}
