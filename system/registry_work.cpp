#include "system/registry_work.h"

#include <stdlib.h>
#include <string.h>

#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/hex.h"
#include "script/parse_context.h"
#include "script/store.h"
#include "script/text_util.h"
#include "script/undo_saving.h"
#include "system/value_capture.h"

const ActionKeyword kRegistryKeywords[] = {
    {"delete", "KEY, VALUE", 0,
     "deletes the key (with no VALUE; on the NT family only a key without subkeys) or the value"},
    {"reset", "VALUE", 0,
     "writes the DEFAULT back into the value: in lower case as REG_SZ, or, with the DEFAULT's type, as written and "
     "with that type; without a DEFAULT nothing changes"},
    {nullptr, nullptr, 0, nullptr},
};

namespace {

// The longest value name the registry allows, with its terminator.
const uint32_t kLongestValueName = 16384;
const uint32_t kShortValueName = 256;

// Position of the value being examined while every value of a key is
// walked; -1 outside a walk. A deletion steps it back, so that the walk reads
// the value that moved into the deleted one's place.
int32_t g_valueIndex = -1;

const char* const kRootNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};

// The registry's data, with a zero after it and room for a whole DWORD even
// when the stored data is shorter: text without a terminator and short DWORD
// data are read within the buffer.
struct ValueData {
    uint32_t type;
    uint32_t size;
    uint8_t* bytes;
};

bool ReadValue(const RegistryCalls* calls, RegistryKey key, const char* name, ValueData* data) {
    data->bytes = nullptr;
    if (calls->queryValue(key, name, &data->type, nullptr, &data->size) != REGISTRY_OK || data->size == 0)
        return false;
    uint32_t room = data->size < 4 ? 4 : data->size;
    data->bytes = static_cast<uint8_t*>(calloc(room + 1, 1));
    if (!data->bytes) return false;
    uint32_t size = data->size;
    if (calls->queryValue(key, name, &data->type, data->bytes, &size) != REGISTRY_OK) {
        free(data->bytes);
        data->bytes = nullptr;
        return false;
    }
    data->size = size;
    return true;
}

bool IsKeyword(const ActionRecord* action, int which) { return strcmp(action->keyword, kRegistryKeywords[which].word) == 0; }

// A list store is walked from its newest value for every value examined: the
// store to reset is the one whose name the pattern holds, as SubstituteStore
// finds it.
void ResetStoreNamedIn(const char* text) {
    for (Store* store = g_stores; store; store = store->next) {
        if (strstr(text, store->name)) {
            ResetStoreCursor(store->name);
            return;
        }
    }
}

// Tries one VIRUSVALUE text against the value: the text itself, or each
// value of the store it names. test answers whether a candidate matches.
template <typename Test>
bool TryVirusValue(const char* text, Test test) {
    ResetStoreNamedIn(text);
    int32_t more = 0;
    char* substituted = SubstituteStore(text, &more);
    if (!substituted) return test(text);
    for (;;) {
        bool matched = test(substituted);
        free(substituted);
        if (matched) return true;
        if (!more) return false;
        more = 0;
        substituted = SubstituteStore(text, &more);
        if (!substituted) return false;
    }
}

bool TextMatches(const char* data, const char* candidate, const ActionRecord* action) {
    size_t length = strlen(candidate);
    char* lowered = CopyText(candidate, length);
    if (!lowered) return false;
    LowerCaseText(lowered);
    Capture capture;
    bool matched = MatchValuePattern(data, lowered, &capture);
    if (matched && capture.start && action->storeName) {
        char* captured = CopyText(capture.start, capture.length);
        if (captured) AddToStore(action->storeName, captured, (action->storeFlags & STORE_LIST) ? 1 : 0);
        free(captured);
    }
    free(lowered);
    return matched;
}

bool DwordMatches(uint32_t value, const char* candidate) {
    uint32_t parsed = 0;
    return ParseHex(candidate, 4, &parsed) >= 0 && parsed == value;
}

struct ValueSite {
    const RegistryCalls* calls;
    RegistryKey key;
    const char* root;
    const char* path;
    const char* name;
    const char* shown;
    uint32_t rootCode;
    const char* matched;  // what made the value act, for the run report
};

// One item of the run report for the value: "HKLM\\path\\name".
void RecordValue(const ValueSite& site, const char* action, int32_t outcome, uint32_t error = 0) {
    char* subject = FormatText("%s\\%s\\%s", site.root, site.path, site.shown);
    RecordItem(ITEM_REGISTRY_VALUE, subject, site.matched, action, outcome, error);
    free(subject);
}

void ResetValue(const ValueSite& site, uint32_t type, const uint8_t* bytes, uint32_t size) {
    if (ReportOnlyRun()) {
        ReportWouldDo("reset registry value %s\\%s\\%s", site.root, site.path, site.shown);
        RecordValue(site, "reset", OUTCOME_WOULD);
        return;
    }
    if (!SaveRegistryValueForUndo(site.rootCode, site.path, site.name, type, bytes, size)) {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not reset registry value %s\\%s\\%s: could not save it for undo (%s)\r\n",
                      site.root, site.path, site.shown, UndoSaveProblem());
        RecordValue(site, "reset", OUTCOME_NOT_SAVED);
        return;
    }
    int32_t result = site.calls->setValue(site.key, site.name, type, bytes, size);
    bool made = result == REGISTRY_OK;
    UndoChangeDone(made);
    RecordValue(site, "reset", OutcomeOf(made), static_cast<uint32_t>(result));
    if (made) {
        ReportMessage(MSG_NO_LIST | MSG_INFO, "Reset registry value %s\\%s\\%s\r\n", site.root, site.path, site.shown);
        CountEvent(EVENT_REGKEY_CHANGED);
    } else {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not reset registry value %s\\%s\\%s\r\n", site.root, site.path,
                      site.shown);
    }
}

// Nothing is deleted in a report-only run, so the walk's position stays.
void DeleteValue(const ValueSite& site) {
    if (ReportOnlyRun()) {
        ReportWouldDo("delete registry value %s\\%s\\%s", site.root, site.path, site.shown);
        RecordValue(site, "delete", OUTCOME_WOULD);
        return;
    }
    if (!SaveRegistryValueForUndo(site.rootCode, site.path, site.name, 0, nullptr, 0)) {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not delete registry value %s\\%s\\%s: could not save it for undo (%s)\r\n",
                      site.root, site.path, site.shown, UndoSaveProblem());
        RecordValue(site, "delete", OUTCOME_NOT_SAVED);
        return;
    }
    int32_t result = site.calls->deleteValue(site.key, site.name);
    bool made = result == REGISTRY_OK;
    UndoChangeDone(made);
    RecordValue(site, "delete", OutcomeOf(made), static_cast<uint32_t>(result));
    if (made) {
        ReportMessage(MSG_NO_LIST | MSG_INFO, "Deleted registry value %s\\%s\\%s\r\n", site.root, site.path,
                      site.shown);
        CountEvent(EVENT_REGKEY_CHANGED);
        if (g_valueIndex >= 0) --g_valueIndex;
    } else {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not delete registry value %s\\%s\\%s\r\n", site.root, site.path,
                      site.shown);
    }
}

// What made a value act, as the run report names it when no VIRUSVALUE
// did: the DEFAULT it differs from. Null for a value that acts whatever it
// holds.
char* DefaultNote(const char* defaultText) {
    return defaultText ? FormatText("differs from DEFAULT %s", defaultText) : nullptr;
}

// A value that shows the threat but whose ACTION asks for no change it can
// make is reported as found.
void RecordFound(const ValueSite& site, const ActionRecord* action) {
    RecordValue(site, action->keyword, OUTCOME_FOUND);
}

// A value that shows the threat: the site with what matched it for the run
// report (without VIRUSVALUE texts, the DEFAULT it differs from), and the
// run marked infected when the ACTION says so.
ValueSite ActingSite(const ValueSite& site, const ValueRecord* value, char** matchedText) {
    if (!value->virusValues) *matchedText = DefaultNote(value->defaultText);
    ValueSite acting = site;
    acting.matched = *matchedText;
    if (value->action->setInfected) MarkInfected();
    return acting;
}

// Tries the value's VIRUSVALUE texts in order until one matches. *matched
// gets a copy of the candidate that did (the text, or the store value it
// named), for the run report.
template <typename Test>
bool FirstVirusValue(const ValueRecord* value, char** matched, Test test) {
    bool found = false;
    for (const VirusValueRecord* v = value->virusValues; v && !found; v = v->next)
        if (v->text)
            found = TryVirusValue(v->text, [&](const char* c) {
                bool hit = test(c);
                if (hit) *matched = CopyText(c, strlen(c));
                return hit;
            });
    return found;
}

// A DEFAULT with a type is the value's text as given, with that type: the
// value differs from it in type, or in its text without regard to case.
bool DiffersFromTypedDefault(uint32_t type, const char* data, const ValueRecord* value) {
    return type != value->defaultType || !EqualsIgnoreCase(data, value->defaultText);
}

// reset: a typed DEFAULT is written as given, with its terminator, so that
// every reader finds where it ends.
void ResetToText(const ValueSite& acting, const ValueRecord* value) {
    uint32_t size = static_cast<uint32_t>(strlen(value->defaultText) + 1);
    uint32_t type = value->defaultType ? value->defaultType : uint32_t{REGISTRY_TEXT};
    ResetValue(acting, type, reinterpret_cast<const uint8_t*>(value->defaultText), size);
}

void CheckText(const ValueSite& site, uint32_t type, char* data, ValueRecord* value) {
    const ActionRecord* action = value->action;
    LowerCaseText(data);
    char* matchedText = nullptr;
    bool matched = FirstVirusValue(value, &matchedText, [&](const char* c) { return TextMatches(data, c, action); });
    if (!value->defaultType) LowerCaseText(value->defaultText);

    bool differs = !value->defaultText ||
                   (value->defaultType ? DiffersFromTypedDefault(type, data, value) : strcmp(data, value->defaultText) != 0);
    bool act = value->virusValues ? matched : differs;
    if (!act) {
        free(matchedText);
        return;
    }
    ValueSite acting = ActingSite(site, value, &matchedText);
    if (IsKeyword(action, REGISTRY_RESET) && value->defaultText) {
        CountEvent(EVENT_REGKEY_AFFECTED);
        ResetToText(acting, value);
    } else if (IsKeyword(action, REGISTRY_DELETE)) {
        CountEvent(EVENT_REGKEY_AFFECTED);
        DeleteValue(acting);
    } else {
        RecordFound(acting, action);
    }
    // A report-only run wrote nothing that needs flushing.
    if (!ReportOnlyRun()) site.calls->flushKey(site.key);
    free(matchedText);
}

void CheckDword(const ValueSite& site, const uint8_t* bytes, ValueRecord* value) {
    const ActionRecord* action = value->action;
    uint32_t number = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    char* matchedText = nullptr;
    bool matched = FirstVirusValue(value, &matchedText, [&](const char* c) { return DwordMatches(number, c); });
    // A DEFAULT with a type is text: a number is never its normal data.
    bool typed = value->defaultText && value->defaultType;
    uint32_t normal = 0;
    bool normalParses = !value->defaultText || typed || ParseHex(value->defaultText, 4, &normal) >= 0;
    bool act = normalParses && (value->virusValues ? matched : !value->defaultText || typed || number != normal);
    if (!act) {
        free(matchedText);
        return;
    }
    ValueSite acting = ActingSite(site, value, &matchedText);
    CountEvent(EVENT_REGKEY_AFFECTED);
    if (IsKeyword(action, REGISTRY_RESET) && typed) {
        ResetToText(acting, value);
    } else if (IsKeyword(action, REGISTRY_RESET) && value->defaultText) {
        uint8_t stored[4] = {static_cast<uint8_t>(normal), static_cast<uint8_t>(normal >> 8),
                             static_cast<uint8_t>(normal >> 16), static_cast<uint8_t>(normal >> 24)};
        ResetValue(acting, REGISTRY_DWORD, stored, 4);
    } else if (IsKeyword(action, REGISTRY_DELETE)) {
        DeleteValue(acting);
    } else {
        RecordFound(acting, action);
    }
    free(matchedText);
}

// Examines every value of the key, by position.
void WalkValues(const RegistryCalls* calls, RegistryKey key, const KeyRecord* keyRecord, ValueRecord* value) {
    char shortName[kShortValueName];
    char* longName = nullptr;
    g_valueIndex = 0;
    for (;;) {
        char* name = longName ? longName : shortName;
        uint32_t size = longName ? kLongestValueName : kShortValueName;
        int32_t result = calls->enumValueName(key, static_cast<uint32_t>(g_valueIndex), name, &size);
        if (result == REGISTRY_MORE_DATA && !longName) {
            // A name too long for the short buffer: read it again whole.
            longName = static_cast<char*>(malloc(kLongestValueName));
            if (longName) continue;
        }
        if (result == REGISTRY_MORE_DATA) {
            ++g_valueIndex;  // cannot be read whole: passed over
            continue;
        }
        if (result != REGISTRY_OK) break;
        value->name = name;
        CheckRegistryValue(calls, key, keyRecord, value);
        value->name = nullptr;
        ++g_valueIndex;
    }
    free(longName);
    g_valueIndex = -1;
}

// A report-only run opens the key to learn whether it is there: a key that
// is not there stays as silent as its deletion would.
void ReportKeyDeletion(const RegistryCalls* calls, const KeyRecord* keyRecord, const char* path, const char* subject) {
    RegistryKey key = nullptr;
    int32_t result = calls->openKey(keyRecord->root, path, &key);
    if (result == REGISTRY_NOT_FOUND) return;
    if (result != REGISTRY_OK) {
        RecordNotExamined(ITEM_REGISTRY_KEY, subject, "could not be opened", static_cast<uint32_t>(result));
        return;
    }
    calls->closeKey(key);
    if (keyRecord->action->setInfected) MarkInfected();
    ReportWouldDo("delete registry key %s\\%s", RootShortName(keyRecord->root), path);
    CountEvent(EVENT_REGKEY_AFFECTED);
    RecordItem(ITEM_REGISTRY_KEY, subject, "", "delete", OUTCOME_WOULD);
}

void DeleteKey(const RegistryCalls* calls, const KeyRecord* keyRecord, const char* path) {
    const ActionRecord* action = keyRecord->action;
    char* subject = FormatText("%s\\%s", RootShortName(keyRecord->root), path);
    if (ReportOnlyRun()) {
        ReportKeyDeletion(calls, keyRecord, path, subject);
    } else if (!SaveRegistryKeyForUndo(keyRecord->root, path)) {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not delete registry key %s\\%s: could not save it for undo (%s)\r\n",
                      RootShortName(keyRecord->root), path, UndoSaveProblem());
        RecordItem(ITEM_REGISTRY_KEY, subject, "", "delete", OUTCOME_NOT_SAVED);
    } else {
        int32_t result = calls->deleteKey(keyRecord->root, path);
        bool made = result == REGISTRY_OK;
        UndoChangeDone(made);
        if (made) {
            if (action->setInfected) MarkInfected();
            ReportMessage(MSG_NO_LIST | MSG_INFO, "Deleted registry key %s\\%s\r\n", RootShortName(keyRecord->root), path);
            CountEvent(EVENT_REGKEY_AFFECTED);
            CountEvent(EVENT_REGKEY_CHANGED);
            RecordItem(ITEM_REGISTRY_KEY, subject, "", "delete", OUTCOME_DONE);
        } else if (result != REGISTRY_NOT_FOUND) {
            // A key that is not there was never the threat's. One that would
            // not go (on the NT family, a key with subkeys) is left without a
            // word in the log, but the run report names it.
            RecordItem(ITEM_REGISTRY_KEY, subject, "", "delete", OUTCOME_FAILED, static_cast<uint32_t>(result));
        }
    }
    free(subject);
}

void ProcessKey(const RegistryCalls* calls, KeyRecord* keyRecord) {
    char* substituted = SubstituteStore(keyRecord->path, nullptr);
    if (substituted) {
        free(keyRecord->path);
        keyRecord->path = substituted;
    }
    const char* path = keyRecord->path ? keyRecord->path : "";
    if (!keyRecord->values) {
        const ActionRecord* action = keyRecord->action;
        // Without a path the key would be the root itself, which is never
        // deleted.
        if (!action || !action->keyword || !IsKeyword(action, REGISTRY_DELETE) || !*path) return;
        DeleteKey(calls, keyRecord, path);
        return;
    }
    RegistryKey key = nullptr;
    int32_t opened = calls->openKey(keyRecord->root, path, &key);
    if (opened != REGISTRY_OK) {
        // Silent in the log; a key that is there but would not open (no
        // rights) leaves its values unexamined, which the run report says.
        if (opened != REGISTRY_NOT_FOUND) {
            char* subject = FormatText("%s\\%s", RootShortName(keyRecord->root), path);
            RecordNotExamined(ITEM_REGISTRY_KEY, subject, "could not be opened", static_cast<uint32_t>(opened));
            free(subject);
        }
        return;
    }
    for (ValueRecord* value = keyRecord->values; value; value = value->next) {
        if (value->name)
            CheckRegistryValue(calls, key, keyRecord, value);
        else
            WalkValues(calls, key, keyRecord, value);
    }
    calls->closeKey(key);
}

}  // namespace

const char* RootShortName(uint32_t root) {
    uint32_t index = root & 0xF;
    return index < sizeof kRootNames / sizeof kRootNames[0] ? kRootNames[index] : "";
}

void CheckRegistryValue(const RegistryCalls* calls, RegistryKey key, const KeyRecord* keyRecord, ValueRecord* value) {
    ValueData data;
    if (!ReadValue(calls, key, value->name, &data)) return;
    if (value->action && value->action->keyword) {
        ValueSite site = {calls,       key, RootShortName(keyRecord->root), keyRecord->path ? keyRecord->path : "",
                          value->name, *value->name ? value->name : "Default", keyRecord->root, nullptr};
        if (data.type == REGISTRY_DWORD)
            CheckDword(site, data.bytes, value);
        else
            CheckText(site, data.type, reinterpret_cast<char*>(data.bytes), value);
    }
    free(data.bytes);
}

void ProcessRegistryKeys(const RegistryCalls* calls, KeyRecord* keys) {
    for (KeyRecord* key = keys; key; key = key->next) ProcessKey(calls, key);
}
