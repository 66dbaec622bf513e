#include "system/registry_records.h"

#include <stdlib.h>

#include "script/action_record.h"

static void FreeValueList(ValueRecord* value) {
    while (value) {
        ValueRecord* next = value->next;
        for (VirusValueRecord* v = value->virusValues; v;) {
            VirusValueRecord* after = v->next;
            free(v->text);
            free(v);
            v = after;
        }
        free(value->defaultText);
        FreeActionRecord(value->action);
        free(value->name);
        free(value);
        value = next;
    }
}

void FreeKeyList(KeyRecord* first) {
    while (first) {
        KeyRecord* next = first->next;
        free(first->path);
        FreeValueList(first->values);
        FreeActionRecord(first->action);
        free(first);
        first = next;
    }
}
