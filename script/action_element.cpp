#include "script/action_element.h"

#include <stdlib.h>
#include <string.h>

#include "report/folder_macro.h"
#include "script/data_error.h"
#include "script/hex.h"
#include "script/position.h"
#include "script/store.h"
#include "script/text_util.h"

// A copy that cannot be made leaves the field absent, without a report.
static void SetCopy(char** field, const char* value) {
    free(*field);
    *field = CopyText(value, strlen(value));
}

static void ApplyAttribute(ActionRecord* action, const char* key, const char* value) {
    if (strcmp(key, "confirm") == 0) {
        SetCopy(&action->confirm, value);
    } else if (strcmp(key, "store") == 0) {
        SetCopy(&action->storeName, value);
    } else if (strcmp(key, "message") == 0) {
        SetCopy(&action->message, value);
    } else if (strcmp(key, "storeList") == 0) {
        // Replaces the flags: storeFlag must come after it.
        action->storeFlags = STORE_LIST;
        SetCopy(&action->storeName, value);
    } else if (strcmp(key, "start") == 0) {
        ParsePosition(&action->start, value);
    } else if (strcmp(key, "end") == 0) {
        ParsePosition(&action->end, value);
    } else if (strcmp(key, "length") == 0) {
        ParseHex(value, 4, &action->length);
    } else if (strcmp(key, "storeFlag") == 0) {
        if (strstr(value, "FullPath")) action->storeFlags |= STORE_FULL_PATH;
        if (strstr(value, "NoExt")) action->storeFlags |= STORE_NO_EXT;
    } else if (strcmp(key, "destination") == 0) {
        free(action->destination);
        action->destination = ExpandFolderMacro(value);
    } else if (strcmp(key, "parameters") == 0) {
        SetCopy(&action->parameters, value);
    } else if (strcmp(key, "SetInfected") == 0) {
        if (EqualsIgnoreCase(value, "true")) action->setInfected = 1;
    } else if (strcmp(key, "dll") == 0) {
        FreeLibraryRef(action->library);
        action->library = nullptr;
        char* fileName = SubstitutedFileName(value);
        if (fileName) action->library = NewLibraryRef(fileName);
    }
    // os is decided by the dispatcher; other names are ignored.
}

void OnActionStart(ParseContext* context, const char* name, const char** attributes) {
    ActionRecord* action = NewActionRecord();
    if (!action) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    for (const char** a = attributes; a && a[0]; a += 2) ApplyAttribute(action, a[0], a[1]);

    ActionRecord** slot = CurrentActionSlot(context);
    if (!slot) {
        FreeActionRecord(action);
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    // One action per parent: a later ACTION replaces an earlier one.
    FreeActionRecord(*slot);
    *slot = action;
}
