#include "script/pattern_record.h"

#include <stdlib.h>

PatternRecord* NewPatternRecord() {
    PatternRecord* record = static_cast<PatternRecord*>(calloc(1, sizeof(PatternRecord)));
    if (!record) return nullptr;
    record->found = PATTERN_NOT_FOUND;
    record->length = PATTERN_NO_LIMIT;
    return record;
}

void FreePatternList(PatternRecord* first) {
    while (first) {
        PatternRecord* next = first->next;
        free(first->function);
        free(first->dll);
        free(first);
        first = next;
    }
}

void AppendPattern(PatternRecord** list, PatternRecord* record) {
    while (*list) list = &(*list)->next;
    record->next = nullptr;
    *list = record;
}
