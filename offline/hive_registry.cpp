#include "offline/hive_registry.h"

#include <hivex.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "offline/ansi_names.h"
#include "offline/hive_file.h"
#include "offline/hive_text.h"

namespace {

const uint32_t kClassesRoot = 0x80000000u;
const uint32_t kCurrentUser = 0x80000001u;
const uint32_t kLocalMachine = 0x80000002u;
const uint32_t kUsers = 0x80000003u;
const uint32_t kCurrentConfig = 0x80000005u;
const int32_t kAccessDenied = 5;
const int32_t kNoMoreItems = 259;
const int32_t kBadHive = 1009;  // ERROR_BADDB

HiveFile* g_software;
HiveFile* g_system;
OfflineProfile* g_profiles;
const OfflineProfile* g_current;
std::string g_controlSet = "ControlSet001";

// An open key; a null hive is a predefined root above the hives (HKLM and
// HKU themselves), which holds no values.
struct HiveKey {
    HiveFile* hive;
    hive_node_h node;
};

std::vector<std::string> Components(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* at = path;; ++at) {
        if (*at == '\\' || *at == 0) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
            if (!*at) break;
        } else {
            part.push_back(*at);
        }
    }
    return parts;
}

bool Same(const std::string& a, const char* b) { return SameAnsiAnyCase(a.data(), a.size(), b, strlen(b)); }

// The first of the library's list (zero-ended, freed here) of keys or
// values whose name, as nameOf gives it, is the ANSI name in any case; 0
// when there is none. Key and value handles are both the library's offsets.
size_t FirstNamed(hive_h* h, size_t* list, char* (*nameOf)(hive_h*, size_t), const char* name) {
    std::string wanted;
    size_t found = 0;
    if (list && AnsiToUtf8(name, strlen(name), &wanted)) {
        for (size_t i = 0; list[i] && !found; ++i) {
            char* listed = nameOf(h, list[i]);
            if (listed && SameNameAnyCase(listed, wanted)) found = list[i];
            free(listed);
        }
    }
    free(list);
    return found;
}

// The child of node with that ANSI name, any case; 0 when there is none.
hive_node_h Child(hive_h* h, hive_node_h node, const std::string& name) {
    return FirstNamed(h, hivex_node_children(h, node), hivex_node_name, name.c_str());
}

// Where (root, path) lives: the hive, and the components under its root.
// Answers false for a root the run has no hive for.
bool Place(uint32_t root, const char* path, HiveKey* key, std::vector<std::string>* rest) {
    *rest = Components(path);
    key->hive = nullptr;
    key->node = 0;
    switch (root) {
    case kLocalMachine:
        if (rest->empty()) return true;
        if (Same(rest->front(), "SOFTWARE"))
            key->hive = g_software;
        else if (Same(rest->front(), "SYSTEM"))
            key->hive = g_system;
        else
            return false;
        rest->erase(rest->begin());
        if (key->hive == g_system && !rest->empty() && Same(rest->front(), "CurrentControlSet"))
            rest->front() = g_controlSet;
        break;
    case kCurrentConfig:
        key->hive = g_system;
        rest->insert(rest->begin(), {g_controlSet, "Hardware Profiles", "Current"});
        break;
    case kClassesRoot:
        key->hive = g_software;
        rest->insert(rest->begin(), "Classes");
        break;
    case kCurrentUser:
        key->hive = g_current ? g_current->hive : nullptr;
        break;
    case kUsers:
        if (rest->empty()) return true;
        for (const OfflineProfile* p = g_profiles; p; p = p->next)
            if (Same(rest->front(), p->sid.c_str())) key->hive = p->hive;
        rest->erase(rest->begin());
        break;
    default:
        return false;
    }
    return key->hive != nullptr;
}

int32_t Find(uint32_t root, const char* path, HiveKey* key) {
    std::vector<std::string> rest;
    if (!Place(root, path, key, &rest)) return REGISTRY_NOT_FOUND;
    if (!key->hive) return REGISTRY_OK;
    key->node = hivex_root(key->hive->h);
    for (const std::string& part : rest) {
        key->node = Child(key->hive->h, key->node, part);
        if (!key->node) return REGISTRY_NOT_FOUND;
    }
    return REGISTRY_OK;
}

// The value of that ANSI name (empty: the default value); 0 when none.
hive_value_h Value(const HiveKey* key, const char* name) {
    return FirstNamed(key->hive->h, hivex_node_values(key->hive->h, key->node), hivex_value_key, name);
}

int32_t OpenKey(uint32_t root, const char* path, RegistryKey* key) {
    HiveKey found;
    int32_t result = Find(root, path, &found);
    *key = result == REGISTRY_OK ? new HiveKey(found) : nullptr;
    return result;
}

void CloseKey(RegistryKey key) { delete static_cast<HiveKey*>(key); }

// Deletes the key, with its subkeys only when asked; never a hive's root.
int32_t Delete(uint32_t root, const char* path, bool withSubkeys) {
    HiveKey key;
    int32_t result = Find(root, path, &key);
    if (result != REGISTRY_OK) return result;
    if (!key.hive || key.node == hivex_root(key.hive->h) ||
        (!withSubkeys && hivex_node_nr_children(key.hive->h, key.node) > 0))
        return kAccessDenied;
    if (hivex_node_delete_child(key.hive->h, key.node) != 0) return kBadHive;
    key.hive->changed = true;
    return REGISTRY_OK;
}

// The NT family deletes only keys without subkeys.
int32_t DeleteKey(uint32_t root, const char* path) { return Delete(root, path, false); }

int32_t EnumValueName(RegistryKey opened, uint32_t index, char* name, uint32_t* nameSize) {
    const HiveKey* key = static_cast<const HiveKey*>(opened);
    if (!key->hive) return kNoMoreItems;
    hive_value_h* values = hivex_node_values(key->hive->h, key->node);
    if (!values) return kBadHive;
    size_t count = 0;
    while (values[count]) ++count;
    int32_t result = kNoMoreItems;
    if (index < count) {
        char* utf8 = hivex_value_key(key->hive->h, values[index]);
        std::string ansi;
        // A name the code page cannot spell is read as the system would
        // show it to an ANSI program: not at all, so it is passed over.
        if (!utf8 || !Utf8ToAnsi(utf8, &ansi)) ansi = "?";
        free(utf8);
        if (ansi.size() + 1 > *nameSize) {
            result = REGISTRY_MORE_DATA;
        } else {
            memcpy(name, ansi.c_str(), ansi.size() + 1);
            *nameSize = static_cast<uint32_t>(ansi.size());
            result = REGISTRY_OK;
        }
    }
    free(values);
    return result;
}

int32_t QueryValue(RegistryKey opened, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    const HiveKey* key = static_cast<const HiveKey*>(opened);
    if (!key->hive) return REGISTRY_NOT_FOUND;
    hive_value_h value = Value(key, name);
    if (!value) return REGISTRY_NOT_FOUND;
    hive_type t;
    size_t length;
    char* raw = hivex_value_value(key->hive->h, value, &t, &length);
    if (!raw) return kBadHive;
    std::string bytes = AnsiValueData(static_cast<uint32_t>(t), std::string(raw, length));
    free(raw);
    *type = static_cast<uint32_t>(t);
    int32_t result = REGISTRY_OK;
    if (data && bytes.size() > *size)
        result = REGISTRY_MORE_DATA;
    else if (data)
        memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<uint32_t>(bytes.size());
    return result;
}

int32_t SetValue(RegistryKey opened, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
    const HiveKey* key = static_cast<const HiveKey*>(opened);
    if (!key->hive) return kAccessDenied;
    std::string utf8Name;
    if (!AnsiToUtf8(name, strlen(name), &utf8Name)) return REGISTRY_NOT_FOUND;
    // A value of another spelling keeps its own name, as the system keeps it.
    if (hive_value_h existing = Value(key, name)) {
        char* kept = hivex_value_key(key->hive->h, existing);
        if (kept) utf8Name = kept;
        free(kept);
    }
    std::string stored = StoredValueData(type, std::string(reinterpret_cast<const char*>(data), size));
    hive_set_value value;
    value.key = &utf8Name[0];
    value.t = static_cast<hive_type>(type);
    value.len = stored.size();
    value.value = &stored[0];
    if (hivex_node_set_value(key->hive->h, key->node, &value, 0) != 0) return kBadHive;
    key->hive->changed = true;
    return REGISTRY_OK;
}

int32_t DeleteValue(RegistryKey opened, const char* name) {
    const HiveKey* key = static_cast<const HiveKey*>(opened);
    if (!key->hive) return REGISTRY_NOT_FOUND;
    hive_value_h gone = Value(key, name);
    if (!gone) return REGISTRY_NOT_FOUND;
    hive_value_h* values = hivex_node_values(key->hive->h, key->node);
    if (!values) return kBadHive;
    // The library sets a key's values as a whole: every other one is kept.
    std::vector<hive_set_value> kept;
    std::vector<char*> owned;
    bool read = true;
    for (size_t i = 0; values[i]; ++i) {
        if (values[i] == gone) continue;
        hive_set_value v;
        hive_type t;
        v.key = hivex_value_key(key->hive->h, values[i]);
        v.value = hivex_value_value(key->hive->h, values[i], &t, &v.len);
        v.t = t;
        owned.push_back(v.key);
        owned.push_back(v.value);
        read = read && v.key && v.value;
        kept.push_back(v);
    }
    free(values);
    int32_t result = kBadHive;
    if (read && hivex_node_set_values(key->hive->h, key->node, kept.size(), kept.data(), 0) == 0) {
        key->hive->changed = true;
        result = REGISTRY_OK;
    }
    for (char* p : owned) free(p);
    return result;
}

void FlushKey(RegistryKey) {}

const RegistryCalls kCalls = {OpenKey, CloseKey, DeleteKey, EnumValueName, QueryValue, SetValue, DeleteValue, FlushKey};

// The control set Select\Current names, as "ControlSet%03u".
void ReadCurrentControlSet() {
    g_controlSet = "ControlSet001";
    HiveKey select;
    if (Find(kLocalMachine, "SYSTEM\\Select", &select) != REGISTRY_OK || !select.hive) return;
    uint8_t data[4];
    uint32_t type, size = sizeof data;
    if (QueryValue(&select, "Current", &type, data, &size) != REGISTRY_OK || type != REGISTRY_DWORD || size != 4) return;
    uint32_t current = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (current == 0 || current > 999) return;
    char name[32];
    snprintf(name, sizeof name, "ControlSet%03u", current);
    g_controlSet = name;
}

}  // namespace

void SetMachineHives(HiveFile* software, HiveFile* system) {
    g_software = software;
    g_system = system;
    ReadCurrentControlSet();
}

void AddUserHive(const char* sid, const char* windowsFolder, HiveFile* hive) {
    OfflineProfile** end = &g_profiles;
    while (*end) end = &(*end)->next;
    *end = new OfflineProfile{sid, windowsFolder, hive, nullptr};
}

const OfflineProfile* OfflineProfiles() { return g_profiles; }
void SetCurrentProfile(const OfflineProfile* profile) { g_current = profile; }
const OfflineProfile* CurrentProfile() { return g_current; }
const char* CurrentControlSetName() { return g_controlSet.c_str(); }
const RegistryCalls* HiveRegistryCalls() { return &kCalls; }

std::string SubkeyNameAt(uint32_t root, const char* path, size_t index) {
    HiveKey key;
    if (Find(root, path, &key) != REGISTRY_OK || !key.hive) return "";
    hive_node_h* children = hivex_node_children(key.hive->h, key.node);
    if (!children) return "";
    std::string name;
    size_t count = 0;
    while (children[count]) ++count;
    if (index < count) {
        char* utf8 = hivex_node_name(key.hive->h, children[index]);
        if (!utf8 || !Utf8ToAnsi(utf8, &name)) name = "?";
        free(utf8);
    }
    free(children);
    return name;
}

int32_t DeleteKeyTree(uint32_t root, const char* path) { return Delete(root, path, true); }

void CloseHives() {
    CloseHiveFiles();
    while (g_profiles) {
        OfflineProfile* next = g_profiles->next;
        delete g_profiles;
        g_profiles = next;
    }
    g_software = g_system = nullptr;
    g_current = nullptr;
}
