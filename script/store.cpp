#include "script/store.h"

#include <stdlib.h>
#include <string.h>

#include "script/text_util.h"

Store* g_stores = nullptr;

static Store* FindStore(const char* name) {
    for (Store* s = g_stores; s; s = s->next)
        if (strcmp(s->name, name) == 0) return s;
    return nullptr;
}

static Store* NewStore(const char* name, int32_t isList) {
    Store* store = static_cast<Store*>(calloc(1, sizeof(Store)));
    if (!store) return nullptr;
    store->name = CopyText(name, strlen(name));
    if (!store->name) {
        free(store);
        return nullptr;
    }
    store->isList = isList ? 1 : 0;
    store->next = g_stores;
    g_stores = store;
    return store;
}

void AddToStore(const char* name, const char* text, int32_t isList) {
    if (!name || !text) return;
    Store* store = isList ? FindStore(name) : nullptr;
    if (!store) store = NewStore(name, isList);
    if (!store) return;
    StoreValue* value = static_cast<StoreValue*>(malloc(sizeof(StoreValue)));
    if (!value) return;
    value->text = CopyText(text, strlen(text));
    if (!value->text) {
        free(value);
        return;
    }
    value->next = store->values;
    store->values = value;
    store->cursor = value;
}

void ResetStoreCursor(const char* name) {
    if (!name) return;
    Store* store = FindStore(name);
    if (store) store->cursor = store->values;
}

char* SubstituteStore(const char* text, int32_t* more) { return SubstituteStoreAt(text, more, nullptr, nullptr); }

char* SubstituteStoreAt(const char* text, int32_t* more, size_t* at, size_t* length) {
    if (!text) return nullptr;
    Store* store = g_stores;
    const char* found = nullptr;
    // An empty name would be found at the start of every text.
    for (; store; store = store->next)
        if (store->name[0] && (found = strstr(text, store->name)) != nullptr) break;
    if (!store || !store->cursor) return nullptr;

    size_t head = static_cast<size_t>(found - text);
    size_t nameLength = strlen(store->name);
    size_t valueLength = strlen(store->cursor->text);
    size_t tailLength = strlen(found + nameLength);
    char* result = static_cast<char*>(malloc(head + valueLength + tailLength + 1));
    if (!result) return nullptr;
    memcpy(result, text, head);
    memcpy(result + head, store->cursor->text, valueLength);
    memcpy(result + head + valueLength, found + nameLength, tailLength + 1);

    if (store->isList) store->cursor = store->cursor->next;
    if (more) *more = store->isList;
    if (at) *at = head;
    if (length) *length = valueLength;
    return result;
}

char* SubstitutedFileName(const char* text) {
    if (!text) return nullptr;
    char* substituted = SubstituteStore(text, nullptr);
    if (!substituted) return CopyText(text, strlen(text));
    const char* slash = strrchr(substituted, '\\');
    if (!slash) return substituted;
    char* name = CopyText(slash + 1, strlen(slash + 1));
    free(substituted);
    return name;
}

void FreeStores() {
    while (g_stores) {
        Store* store = g_stores;
        g_stores = store->next;
        for (StoreValue* v = store->values; v;) {
            StoreValue* older = v->next;
            free(v->text);
            free(v);
            v = older;
        }
        free(store->name);
        free(store);
    }
}
