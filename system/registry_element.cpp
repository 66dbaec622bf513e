#include "system/registry_element.h"

#include <stdlib.h>
#include <string.h>

#include "report/folder_macro.h"
#include "report/message.h"
#include "script/cleaning.h"
#include "script/data_error.h"
#include "script/text_util.h"
#include "system/registry_records.h"
#include "system/registry_work.h"

namespace {

struct RootRow {
    const char* handle;
    uint32_t root;
};

const RootRow kRoots[] = {
    {"HKEY_CLASSES_ROOT", 0x80000000u}, {"HKEY_CURRENT_CONFIG", 0x80000005u}, {"HKEY_CURRENT_USER", 0x80000001u},
    {"HKEY_LOCAL_MACHINE", 0x80000002u}, {"HKEY_USERS", 0x80000003u},
};

// Only inside REGISTRY is the group record a KEY list.
KeyRecord* CurrentKey(ParseContext* context) {
    return (context->flags & RUN_IN_REGISTRY) ? static_cast<KeyRecord*>(context->groupRecord) : nullptr;
}

bool SetCopy(char** field, const char* value) {
    char* copy = CopyText(value, strlen(value));
    if (!copy) return false;
    free(*field);
    *field = copy;
    return true;
}

// Answers 0 or the data error.
int ReadKeyAttribute(KeyRecord* key, const char* name, const char* value) {
    if (strcmp(name, "os") == 0) return 0;
    if (strcmp(name, "name") == 0) return SetCopy(&key->path, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(name, "handle") == 0) {
        for (const RootRow& row : kRoots) {
            if (strcmp(value, row.handle) == 0) {
                key->root = row.root;
                return 0;
            }
        }
    }
    return DATA_ERROR_ELEMENT;
}

void WriteHeading(const ParseContext* context) {
    if (context->threatType == THREAT_APPLICATION) {
        ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking registry keys\r\n\r\n");
    } else {
        const char* name = context->genericName ? context->genericName : "";
        ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking for registry keys affected by %s\r\n\r\n", name);
    }
}

}  // namespace

void OnRegistryStart(ParseContext* context, const char* name, const char** attributes) {
    context->flags |= RUN_IN_REGISTRY;
    context->groupRecord = nullptr;
}

void OnRegistryEnd(ParseContext* context, const char* name) {
    KeyRecord* keys = CurrentKey(context);
    if (!(context->flags & RUN_SKIP)) {
        WriteHeading(context);
        context->flags |= RUN_DID_REGISTRY;
        ReportMessage(MSG_STATUS, "Registry\r\n");
        const CleaningWork* work = g_cleaning;
        if (work && work->registry && work->processRegistryKeys)
            work->processRegistryKeys(work->registry, keys);
        else if (work && work->registry)
            ProcessRegistryKeys(work->registry, keys);
    }
    FreeKeyList(keys);
    if (context->flags & RUN_IN_REGISTRY) context->groupRecord = nullptr;
    context->flags &= ~RUN_IN_REGISTRY;
}

void OnRegistryKeyStart(ParseContext* context, const char* name, const char** attributes) {
    KeyRecord* key = static_cast<KeyRecord*>(calloc(1, sizeof(KeyRecord)));
    if (!key) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadKeyAttribute(key, a[0], a[1]);
    if (error) {
        FreeKeyList(key);
        ReportDataError(context, error);
        return;
    }
    key->next = CurrentKey(context);
    context->groupRecord = key;
}

void OnRegistryValueStart(ParseContext* context, const char* name, const char** attributes) {
    KeyRecord* key = CurrentKey(context);
    if (!key) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    ValueRecord* value = static_cast<ValueRecord*>(calloc(1, sizeof(ValueRecord)));
    if (!value) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) {
        if (strcmp(a[0], "os") == 0) continue;
        if (strcmp(a[0], "name") == 0)
            error = SetCopy(&value->name, a[1]) ? 0 : DATA_ERROR_MEMORY;
        else
            error = DATA_ERROR_ELEMENT;
    }
    if (error) {
        free(value->name);
        free(value);
        ReportDataError(context, error);
        return;
    }
    value->next = key->values;
    key->values = value;
}

// Answers 0 or the data error. Other attributes are passed over, as they
// always were on DEFAULT.
static int ReadDefaultAttribute(ValueRecord* value, const char* name, const char* text) {
    if (strcmp(name, "type") == 0) {
        if (strcmp(text, "REG_SZ") == 0) {
            value->defaultType = REGISTRY_TEXT;
        } else if (strcmp(text, "REG_EXPAND_SZ") == 0) {
            value->defaultType = REGISTRY_EXPAND_TEXT;
        } else {
            return DATA_ERROR_ELEMENT;
        }
    } else if (strcmp(name, "expand") == 0) {
        if (strcmp(text, "yes") != 0 && strcmp(text, "no") != 0) return DATA_ERROR_ELEMENT;
        value->defaultExpand = strcmp(text, "yes") == 0;
    }
    return 0;
}

void OnRegistryDefaultStart(ParseContext* context, const char* name, const char** attributes) {
    KeyRecord* key = CurrentKey(context);
    if (!key || !key->values) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadDefaultAttribute(key->values, a[0], a[1]);
    if (error) ReportDataError(context, error);
}

// The whole text has arrived: a folder macro word at its start is replaced
// now, as a FILE's FileName is when its element is read.
void OnRegistryDefaultEnd(ParseContext* context, const char* name) {
    KeyRecord* key = CurrentKey(context);
    ValueRecord* value = key ? key->values : nullptr;
    if ((context->flags & RUN_SKIP) || !value || !value->defaultExpand || !value->defaultText) return;
    char* expanded = ExpandFolderMacro(value->defaultText);
    if (!expanded) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    free(value->defaultText);
    value->defaultText = expanded;
}

void OnVirusValueStart(ParseContext* context, const char* name, const char** attributes) {
    KeyRecord* key = CurrentKey(context);
    if (!key || !key->values) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    VirusValueRecord* virus = static_cast<VirusValueRecord*>(calloc(1, sizeof(VirusValueRecord)));
    if (!virus) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    virus->next = key->values->virusValues;
    key->values->virusValues = virus;
}
