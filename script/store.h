// Stores: named lists of texts found by one element (a file name, part of a
// registry value) and written into the texts of later elements by name.
// One process-wide list, emptied at the end of every pass.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct StoreValue {
    char* text;
    StoreValue* next;  // the next older value
};

struct Store {
    char* name;      // matched exactly, case matters
    Store* next;     // the next older store
    int32_t isList;  // 1: substitution walks the values; 0: always the newest
    StoreValue* values;  // newest first
    StoreValue* cursor;  // the value the next substitution uses; null: run out
};

// Newest first; the newest store of a name hides older ones of that name.
extern Store* g_stores;

// A list store of that name gets the text in front; otherwise (single, or no
// such store yet) a new store is put in front of all. The cursor points at
// the new value. Memory shortage abandons the step silently.
void AddToStore(const char* name, const char* text, int32_t isList);
// Points the newest store of exactly that name at its newest value.
void ResetStoreCursor(const char* name);
// A new text: the text with the first occurrence of the name of the newest
// store found in it replaced by that store's current value. Null when no
// store name occurs, that store has run out, or memory ran out. *more (may
// be null) is set only on a replacement: 1 for a list store, whose cursor
// then moves to the next older value, 0 for a single store.
char* SubstituteStore(const char* text, int32_t* more);
// As SubstituteStore; on a replacement *at and *length (either may be null)
// say where the value stands in the new text, for callers that must know
// which characters came from a store rather than from the data file.
char* SubstituteStoreAt(const char* text, int32_t* more, size_t* at, size_t* length);
// A new text: SubstituteStore's result cut to what follows its last
// backslash; without a replacement, a plain copy of the text. Null when
// memory ran out.
char* SubstitutedFileName(const char* text);
// Frees every store and value; the list is empty afterwards.
void FreeStores();
