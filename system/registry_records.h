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
