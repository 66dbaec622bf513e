#include "undo/journal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "script/json.h"

using nlohmann::json;

namespace {

const char kFormatName[] = "mendrix-undo-journal";

struct Word {
    int code;
    const char* word;
};
const Word kKindWords[] = {{UNDO_FILE, "file"},
                           {UNDO_REGISTRY_VALUE, "registryValue"},
                           {UNDO_REGISTRY_KEY, "registryKey"},
                           {UNDO_INI_ENTRY, "iniEntry"},
                           {UNDO_SERVICE, "service"}};
const Word kChangeWords[] = {{UNDO_DELETE, "delete"}, {UNDO_MOVE, "move"}, {UNDO_CUT, "cut"}, {UNDO_RESET, "reset"}};

template <size_t N>
const char* WordOf(const Word (&words)[N], int code) {
    for (const Word& w : words)
        if (w.code == code) return w.word;
    return "";
}
template <size_t N>
bool CodeOf(const Word (&words)[N], const std::string& word, int* code) {
    for (const Word& w : words)
        if (word == w.word) {
            *code = w.code;
            return true;
        }
    return false;
}

// Binary data travels as lower-case hex digits.
std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool Unhex(const std::string& text, std::string* bytes) {
    if (text.size() % 2) return false;
    bytes->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = DigitValue(text[i]), low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        *bytes += static_cast<char>(high << 4 | low);
    }
    return true;
}

json ServiceJson(const UndoService& s) {
    return json{{"displayName", s.displayName}, {"binaryPath", s.binaryPath},     {"loadOrderGroup", s.loadOrderGroup},
                {"account", s.account},         {"dependencies", s.dependencies}, {"serviceType", s.serviceType},
                {"startType", s.startType},     {"errorControl", s.errorControl}};
}

json ItemJson(const UndoItem& item) {
    json j = {{"kind", WordOf(kKindWords, item.kind)}, {"change", WordOf(kChangeWords, item.change)}};
    switch (item.kind) {
    case UNDO_FILE:
        j["path"] = item.path;
        if (item.change == UNDO_MOVE) j["destination"] = item.destination;
        j["saved"] = item.saved;
        j["attributes"] = item.attributes;
        j["size"] = item.size;
        j["created"] = item.created;
        j["accessed"] = item.accessed;
        j["written"] = item.written;
        if (item.change == UNDO_CUT) {
            j["afterSize"] = item.afterSize;
            j["afterWritten"] = item.afterWritten;
        }
        if (!item.scheduled.empty()) j["scheduled"] = item.scheduled;
        break;
    case UNDO_REGISTRY_VALUE:
        j["root"] = item.root;
        j["key"] = item.path;
        j["name"] = item.name;
        j["type"] = item.type;
        j["data"] = Hex(item.data);
        if (item.hasNewData) {
            j["newType"] = item.newType;
            j["newData"] = Hex(item.newData);
        }
        break;
    case UNDO_REGISTRY_KEY: {
        j["root"] = item.root;
        j["key"] = item.path;
        json entries = json::array();
        for (const UndoKeyEntry& e : item.keyEntries) {
            if (e.isKey)
                entries.push_back({{"subkey", e.subkey}});
            else
                entries.push_back({{"subkey", e.subkey}, {"name", e.name}, {"type", e.type}, {"data", Hex(e.data)}});
        }
        j["entries"] = entries;
        break;
    }
    case UNDO_INI_ENTRY:
        j["file"] = item.path;
        j["section"] = item.section;
        j["name"] = item.name;
        j["text"] = item.data;
        if (item.hasNewData) j["newText"] = item.newData;
        break;
    case UNDO_SERVICE:
        j["name"] = item.path;
        j["config"] = ServiceJson(item.service);
        break;
    case UNDO_DAMAGED:
        break;
    }
    return j;
}

// Field readers: each answers false when the field is missing or of
// another type, and leaves the output alone then.
bool Text(const json& j, const char* name, std::string* out) {
    auto found = j.find(name);
    if (found == j.end() || !found->is_string()) return false;
    *out = found->get<std::string>();
    return true;
}
bool Number(const json& j, const char* name, uint64_t* out) {
    auto found = j.find(name);
    if (found == j.end() || !found->is_number_integer()) return false;
    // "-0" is read as a signed zero; it is written back as 0, so it must be
    // the same number here, or an item would read differently once rewritten.
    if (!found->is_number_unsigned() && found->get<int64_t>() != 0) return false;
    *out = found->is_number_unsigned() ? found->get<uint64_t>() : 0;
    return true;
}
bool Number32(const json& j, const char* name, uint32_t* out) {
    uint64_t n = 0;
    if (!Number(j, name, &n) || n > 0xFFFFFFFFu) return false;
    *out = static_cast<uint32_t>(n);
    return true;
}
bool HexField(const json& j, const char* name, std::string* out) {
    std::string text;
    return Text(j, name, &text) && Unhex(text, out);
}

bool ReadService(const json& j, UndoService* s) {
    if (!j.is_object()) return false;
    auto deps = j.find("dependencies");
    if (deps == j.end() || !deps->is_array()) return false;
    for (const json& d : *deps) {
        if (!d.is_string()) return false;
        s->dependencies.push_back(d.get<std::string>());
    }
    return Text(j, "displayName", &s->displayName) && Text(j, "binaryPath", &s->binaryPath) &&
           Text(j, "loadOrderGroup", &s->loadOrderGroup) && Text(j, "account", &s->account) &&
           Number32(j, "serviceType", &s->serviceType) && Number32(j, "startType", &s->startType) &&
           Number32(j, "errorControl", &s->errorControl);
}

bool ReadKeyEntries(const json& j, std::vector<UndoKeyEntry>* entries) {
    if (!j.is_array()) return false;
    for (const json& e : j) {
        if (!e.is_object()) return false;
        UndoKeyEntry entry = {};
        if (!Text(e, "subkey", &entry.subkey)) return false;
        entry.isKey = e.find("name") == e.end();
        if (!entry.isKey &&
            !(Text(e, "name", &entry.name) && Number32(e, "type", &entry.type) && HexField(e, "data", &entry.data)))
            return false;
        entries->push_back(entry);
    }
    return true;
}

// Answers false when the item lacks what its kind needs.
bool ReadItemFields(const json& j, UndoItem* item) {
    switch (item->kind) {
    case UNDO_FILE:
        if (item->change == UNDO_RESET) return false;
        if (item->change == UNDO_MOVE && !Text(j, "destination", &item->destination)) return false;
        if (item->change == UNDO_CUT &&
            !(Number(j, "afterSize", &item->afterSize) && Number(j, "afterWritten", &item->afterWritten)))
            return false;
        if (j.contains("scheduled") && !Text(j, "scheduled", &item->scheduled)) return false;
        return Text(j, "path", &item->path) && Text(j, "saved", &item->saved) &&
               Number32(j, "attributes", &item->attributes) && Number(j, "size", &item->size) &&
               Number(j, "created", &item->created) && Number(j, "accessed", &item->accessed) &&
               Number(j, "written", &item->written);
    case UNDO_REGISTRY_VALUE:
        if (item->change != UNDO_DELETE && item->change != UNDO_RESET) return false;
        item->hasNewData = item->change == UNDO_RESET;
        if (item->hasNewData && !(Number32(j, "newType", &item->newType) && HexField(j, "newData", &item->newData)))
            return false;
        return Number32(j, "root", &item->root) && Text(j, "key", &item->path) && Text(j, "name", &item->name) &&
               Number32(j, "type", &item->type) && HexField(j, "data", &item->data);
    case UNDO_REGISTRY_KEY: {
        auto entries = j.find("entries");
        return item->change == UNDO_DELETE && Number32(j, "root", &item->root) && Text(j, "key", &item->path) &&
               !item->path.empty() && entries != j.end() && ReadKeyEntries(*entries, &item->keyEntries);
    }
    case UNDO_INI_ENTRY:
        if (item->change != UNDO_DELETE && item->change != UNDO_RESET) return false;
        item->hasNewData = item->change == UNDO_RESET;
        if (item->hasNewData && !Text(j, "newText", &item->newData)) return false;
        return Text(j, "file", &item->path) && Text(j, "section", &item->section) && Text(j, "name", &item->name) &&
               Text(j, "text", &item->data);
    case UNDO_SERVICE: {
        auto config = j.find("config");
        return item->change == UNDO_DELETE && Text(j, "name", &item->path) && config != j.end() &&
               ReadService(*config, &item->service);
    }
    case UNDO_DAMAGED:
        break;
    }
    return false;
}

UndoItem* ReadItem(const json& j) {
    UndoItem* item = NewUndoItem(UNDO_DAMAGED, UNDO_DELETE, "");
    std::string kindWord, changeWord;
    int kind = 0, change = 0;
    if (!j.is_object() || !Text(j, "kind", &kindWord) || !Text(j, "change", &changeWord)) {
        item->problem = "not an item";
        item->data = j.dump(-1, ' ', false, json::error_handler_t::replace);
        return item;
    }
    if (!CodeOf(kKindWords, kindWord, &kind) || !CodeOf(kChangeWords, changeWord, &change)) {
        item->problem = "unknown kind of change: " + kindWord + " " + changeWord;
        item->data = j.dump(-1, ' ', false, json::error_handler_t::replace);
        return item;
    }
    item->kind = static_cast<UndoKind>(kind);
    item->change = static_cast<UndoChange>(change);
    if (!ReadItemFields(j, item)) {
        // Keep whatever names the item, for the line that reports it.
        std::string named;
        if (!Text(j, "path", &named) && !Text(j, "key", &named) && !Text(j, "file", &named)) Text(j, "name", &named);
        item->keyEntries.clear();
        item->kind = UNDO_DAMAGED;
        item->data = j.dump(-1, ' ', false, json::error_handler_t::replace);
        item->path = named;
        item->problem = "damaged " + kindWord + " item";
    }
    return item;
}

bool IsDigits(const std::string& text, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i)
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    return true;
}

// The base name and the attempt number, for ordering.
bool SplitFolderName(const std::string& name, std::string* base, unsigned long* attempt) {
    if (name.size() < 15 || !IsDigits(name, 0, 8) || name[8] != '-' || !IsDigits(name, 9, 6)) return false;
    *base = name.substr(0, 15);
    *attempt = 0;
    if (name.size() == 15) return true;
    if (name[15] != '-' || name.size() > 20 || !IsDigits(name, 16, name.size() - 16)) return false;
    *attempt = strtoul(name.c_str() + 16, nullptr, 10);
    return *attempt > 0;
}

}  // namespace

UndoItem* NewUndoItem(UndoKind kind, UndoChange change, const std::string& path) {
    UndoItem* item = new UndoItem();
    item->kind = kind;
    item->change = change;
    item->path = path;
    return item;
}

void AddUndoItem(Journal* journal, UndoItem* item) {
    item->next = nullptr;
    if (journal->last)
        journal->last->next = item;
    else
        journal->items = item;
    journal->last = item;
}

void FreeJournalItems(Journal* journal) {
    for (UndoItem* item = journal->items; item;) {
        UndoItem* next = item->next;
        delete item;
        item = next;
    }
    journal->items = journal->last = nullptr;
}

std::string ManifestText(const Journal& journal) {
    json items = json::array();
    for (const UndoItem* item = journal.items; item; item = item->next)
        // A damaged item goes back as it was read, for whoever looks later.
        if (item->kind != UNDO_DAMAGED) {
            items.push_back(ItemJson(*item));
        } else {
            json kept = json::parse(item->data, nullptr, false);
            items.push_back(kept.is_discarded() ? json() : kept);
        }
    json j = {{"format", kFormatName},
              {"version", UNDO_FORMAT_VERSION},
              {"created", journal.created},
              {"dataFile", journal.dataFile},
              {"restored", journal.restored},
              {"items", items}};
    // Names and data may hold any byte; the library's replacing of bytes
    // that are not UTF-8 keeps the writing from failing, and paths the
    // program writes are ANSI text of the system's code page.
    return j.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

bool ParseManifest(const std::string& text, Journal* journal, std::string* problem) {
    json j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        *problem = "the manifest is not JSON";
        return false;
    }
    std::string format;
    uint64_t version = 0;
    if (!Text(j, "format", &format) || format != kFormatName) {
        *problem = "the manifest is not an undo journal";
        return false;
    }
    if (!Number(j, "version", &version) || version != UNDO_FORMAT_VERSION) {
        *problem = "the manifest's version is not one this program reads";
        return false;
    }
    auto items = j.find("items");
    if (!Text(j, "created", &journal->created) || !Text(j, "dataFile", &journal->dataFile) ||
        !Text(j, "restored", &journal->restored) || items == j.end() || !items->is_array()) {
        *problem = "the manifest lacks its header fields";
        return false;
    }
    journal->version = static_cast<int>(version);
    for (const json& item : *items) AddUndoItem(journal, ReadItem(item));
    return true;
}

std::string JournalFolderName(const JournalTime& t, int attempt) {
    char name[40];
    snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    std::string text = name;
    if (attempt > 0) text += "-" + std::to_string(attempt);
    return text;
}

std::string JournalTimeText(const JournalTime& t) {
    char text[40];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

bool IsJournalFolderName(const std::string& name) {
    std::string base;
    unsigned long attempt;
    return SplitFolderName(name, &base, &attempt);
}

std::string LatestJournalFolder(const std::vector<std::string>& names) {
    std::string latest, latestBase;
    unsigned long latestAttempt = 0;
    for (const std::string& name : names) {
        std::string base;
        unsigned long attempt;
        if (!SplitFolderName(name, &base, &attempt)) continue;
        if (latest.empty() || base > latestBase || (base == latestBase && attempt > latestAttempt)) {
            latest = name;
            latestBase = base;
            latestAttempt = attempt;
        }
    }
    return latest;
}

std::string SavedCopyName(unsigned n) {
    char name[24];
    snprintf(name, sizeof name, "%04u.sav", n);
    return name;
}

void ScrambleBytes(char* bytes, size_t count, uint8_t* key) {
    // A running key, so that runs of equal bytes do not show through.
    uint8_t k = *key;
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ k);
        k = static_cast<uint8_t>(k * 13 + 7);
    }
    *key = k;
}

std::vector<const UndoItem*> RestoreOrder(const Journal& journal) {
    std::vector<const UndoItem*> order;
    for (const UndoItem* item = journal.items; item; item = item->next) order.insert(order.begin(), item);
    return order;
}

const char* UndoKindWord(UndoKind kind) {
    static const char* const kWords[] = {"file", "registry value", "registry key", "INI entry", "service", "item"};
    return kWords[kind];
}

std::string JournalListLine(const std::string& folder, const Journal& journal) {
    unsigned counts[UNDO_DAMAGED + 1] = {};
    for (const UndoItem* item = journal.items; item; item = item->next) ++counts[item->kind];
    static const char* const kPlural[] = {"files", "registry values", "registry keys", "INI entries", "services",
                                          "damaged items"};
    std::string line = folder + "  " + journal.created + "  " + journal.dataFile + "  ";
    bool first = true;
    for (int kind = 0; kind <= UNDO_DAMAGED; ++kind) {
        if (!counts[kind] && kind == UNDO_DAMAGED) continue;
        if (!first) line += ", ";
        line += std::to_string(counts[kind]) + " " + (counts[kind] == 1 ? UndoKindWord(static_cast<UndoKind>(kind))
                                                                        : kPlural[kind]);
        first = false;
    }
    line += journal.restored.empty() ? "" : "  (restored " + journal.restored + ")";
    return line;
}
