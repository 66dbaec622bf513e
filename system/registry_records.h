// The KEY, VALUE and VIRUSVALUE elements of a REGISTRY group.
#pragma once
#include <stdint.h>

struct ActionRecord;

struct VirusValueRecord {
    char* text;
    VirusValueRecord* next;
};

struct ValueRecord {
    VirusValueRecord* virusValues;  // newest first
    char* defaultText;
    // The DEFAULT's type attribute: 0 when it has none, and the text is then
    // compared and written in lower case, as REG_SZ; else REGISTRY_TEXT or
    // REGISTRY_EXPAND_TEXT, and the text is written as given, with that type.
    uint32_t defaultType;
    int32_t defaultExpand;  // expand="yes": a leading folder macro word is replaced
    ActionRecord* action;
    char* name;  // null: every value of the key; empty: the unnamed value
    ValueRecord* next;
};

struct KeyRecord {
    uint32_t root;  // predefined key handle value, 0 when absent
    char* path;
    ValueRecord* values;  // newest first
    ActionRecord* action;
    KeyRecord* next;
};

void FreeKeyList(KeyRecord* first);
