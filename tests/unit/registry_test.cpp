// REGISTRY, KEY, VALUE and VIRUSVALUE against a registry kept in memory: what
// each value ends up as, the messages and counters, the walk of every value
// of a key, "%s" captures into stores, and the records a script builds.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "report/counters.h"
#include "script/cleaning.h"
#include "script/store.h"
#include "script/text_util.h"
#include "script_harness.h"
#include "system/registry_calls.h"
#include "system/registry_work.h"
#include "fake_undo_saving.h"
#include "recorded_items.h"
#include "script/settings.h"
#include "system/value_capture.h"

namespace {

const uint32_t kBinary = 3;
const uint32_t kExpandText = 2;

struct FakeValue {
    std::string name;
    uint32_t type;
    std::string bytes;
};

struct FakeKey {
    std::vector<FakeValue> values;  // in enumeration order
    bool hasSubkeys = false;
};

// Keys by "root\path" in lower case; a registry of one test.
std::map<std::string, FakeKey> g_keys;
std::vector<std::string> g_calls;           // set, delete, flush, deleteKey in order
std::map<std::string, int> g_queries;       // data reads per value name
std::vector<std::string> g_refused;         // value names whose change fails
std::vector<std::string> g_denied;          // key paths that will not open (no rights)

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}
std::string KeyName(uint32_t root, const char* path) { return std::to_string(root & 0xF) + "\\" + Lower(path); }

FakeKey* Open(RegistryKey key) { return static_cast<FakeKey*>(key); }
FakeValue* Find(FakeKey* key, const char* name) {
    for (FakeValue& v : key->values)
        if (Lower(v.name) == Lower(name)) return &v;
    return nullptr;
}
bool Refused(const char* name) {
    for (const std::string& r : g_refused)
        if (r == name) return true;
    return false;
}

int32_t OpenKey(uint32_t root, const char* path, RegistryKey* key) {
    for (const std::string& d : g_denied)
        if (d == path) return 5;
    auto found = g_keys.find(KeyName(root, path));
    if (found == g_keys.end()) return 2;
    *key = &found->second;
    return REGISTRY_OK;
}
void CloseKey(RegistryKey) {}
int32_t DeleteKey(uint32_t root, const char* path) {
    g_calls.push_back(std::string("deleteKey ") + path);
    auto found = g_keys.find(KeyName(root, path));
    if (found == g_keys.end()) return 2;
    if (found->second.hasSubkeys) return 5;
    g_keys.erase(found);
    return REGISTRY_OK;
}
int32_t EnumValueName(RegistryKey key, uint32_t index, char* name, uint32_t* size) {
    FakeKey* k = Open(key);
    if (index >= k->values.size()) return 259;  // no more items
    const std::string& n = k->values[index].name;
    if (n.size() + 1 > *size) {
        // The registry fills what fits, as a caller that took it would see.
        memcpy(name, n.data(), *size - 1);
        name[*size - 1] = 0;
        return REGISTRY_MORE_DATA;
    }
    memcpy(name, n.c_str(), n.size() + 1);
    *size = static_cast<uint32_t>(n.size());
    return REGISTRY_OK;
}
int32_t QueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    FakeValue* v = Find(Open(key), name);
    if (!v) return 2;
    *type = v->type;
    uint32_t needed = static_cast<uint32_t>(v->bytes.size());
    if (data) {
        ++g_queries[v->name];
        if (*size < needed) return REGISTRY_MORE_DATA;
        memcpy(data, v->bytes.data(), needed);
    }
    *size = needed;
    return REGISTRY_OK;
}
int32_t SetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
    g_calls.push_back(std::string("set ") + name);
    if (Refused(name)) return 5;
    FakeValue* v = Find(Open(key), name);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (v) *v = FakeValue{v->name, type, bytes};
    else Open(key)->values.push_back({name, type, bytes});
    return REGISTRY_OK;
}
int32_t DeleteValue(RegistryKey key, const char* name) {
    g_calls.push_back(std::string("delete ") + name);
    if (Refused(name)) return 5;
    FakeKey* k = Open(key);
    for (size_t i = 0; i < k->values.size(); ++i) {
        if (Lower(k->values[i].name) == Lower(name)) {
            k->values.erase(k->values.begin() + static_cast<long>(i));
            return REGISTRY_OK;
        }
    }
    return 2;
}
void FlushKey(RegistryKey) { g_calls.push_back("flush"); }

const RegistryCalls kFakeRegistry = {OpenKey, CloseKey, DeleteKey, EnumValueName, QueryValue, SetValue, DeleteValue,
                                     FlushKey};
// Members this test does not use stay null, however many the table grows.
CleaningWork MakeWork() {
    CleaningWork work = {};
    work.registry = &kFakeRegistry;
    return work;
}
const CleaningWork kWork = MakeWork();

const uint32_t HKCU = 0x80000001u;
const uint32_t HKLM = 0x80000002u;

std::string Text(const std::string& text) { return text + std::string(1, '\0'); }
std::string Dword(uint32_t n) {
    return std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 24)};
}

std::string Script(const std::string& body, const char* type = "Virus") {
    return std::string("<CLEANER DataFile=\"F\" Type=\"") + type + "\"><IDENTITY GenericName=\"Gen\">" + body +
           "</IDENTITY></CLEANER>";
}
std::string RegistryScript(const std::string& keys) { return Script("<REGISTRY>" + keys + "</REGISTRY>"); }

const char kHeading[] = "\r\nChecking for registry keys affected by Gen\r\n\r\n";

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        g_keys.clear();
        g_calls.clear();
        g_queries.clear();
        g_refused.clear();
        g_denied.clear();
        g_cleaning = &kWork;
        ResetCounters();
        FreeStores();
        FreeRunItems();
        g_settings.reportOnly = 0;
    }
    void TearDown() override {
        g_cleaning = nullptr;
        FreeStores();
        FreeRunItems();
        g_settings.reportOnly = 0;
    }
    static FakeKey& Key(uint32_t root, const char* path) { return g_keys[KeyName(root, path)]; }
    // The log after the heading.
    static std::string Work(const ScriptRun& run) {
        size_t at = run.record.log.find(kHeading);
        if (at == std::string::npos) return "<no heading>";
        std::string work = run.record.log.substr(at + strlen(kHeading));
        // up to the IDENTITY end's line
        return work.substr(0, work.find("\r\nSystem scan finished"));
    }
};

// ---------------------------------------------------------------- one value

struct ValueRow {
    int row;
    uint32_t type;
    std::string data;
    std::string elements;  // VIRUSVALUE, DEFAULT and ACTION inside the VALUE
    const char* name;      // the value's name; "" for the unnamed value
    bool kept;             // false: the value is gone afterwards
    std::string after;     // the data afterwards when kept
    uint32_t afterType;
    std::string log;
    int affected;
    int changed;
};

const std::string kRun = "c:\\windows\\system\\evil.exe -run";
const std::string kServer = "%SystemRoot%\\System32\\WebCheck.dll";
const std::string kTypedServer = "<DEFAULT type=\"REG_EXPAND_SZ\">" + kServer + "</DEFAULT><ACTION>reset</ACTION>";

const ValueRow kValues[] = {
    {1, REGISTRY_TEXT, Text(kRun), "<VIRUSVALUE>EVIL.EXE</VIRUSVALUE><ACTION>delete</ACTION>", "v", false, "", 0,
     "Deleted registry value HKCU\\Soft\\v\r\n", 1, 1},
    {2, REGISTRY_TEXT, Text(kRun), "<VIRUSVALUE>good.exe</VIRUSVALUE><ACTION>delete</ACTION>", "v", true, Text(kRun),
     REGISTRY_TEXT, "", 0, 0},
    {3, REGISTRY_TEXT, Text("C:\\WINDOWS\\Explorer.exe"), "<DEFAULT>Explorer.exe</DEFAULT><ACTION>reset</ACTION>",
     "Shell", true, Text("explorer.exe"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\Shell\r\n", 1, 1},
    {4, REGISTRY_TEXT, Text("EXPLORER.exe"), "<DEFAULT>Explorer.EXE</DEFAULT><ACTION>reset</ACTION>", "Shell", true,
     Text("EXPLORER.exe"), REGISTRY_TEXT, "", 0, 0},
    {5, REGISTRY_TEXT, Text("anything"), "<ACTION>delete</ACTION>", "v", false, "", 0,
     "Deleted registry value HKCU\\Soft\\v\r\n", 1, 1},
    // reset without a default changes nothing and counts nothing
    {6, REGISTRY_TEXT, Text("anything"), "<ACTION>reset</ACTION>", "v", true, Text("anything"), REGISTRY_TEXT, "", 0,
     0},
    {7, REGISTRY_DWORD, Dword(1), "<VIRUSVALUE>1</VIRUSVALUE><ACTION>delete</ACTION>", "d", false, "", 0,
     "Deleted registry value HKCU\\Soft\\d\r\n", 1, 1},
    // 0x1 reads as the number 0
    {8, REGISTRY_DWORD, Dword(1), "<VIRUSVALUE>0x1</VIRUSVALUE><ACTION>delete</ACTION>", "d", true, Dword(1),
     REGISTRY_DWORD, "", 0, 0},
    {9, REGISTRY_DWORD, Dword(0x105), "<DEFAULT>1f</DEFAULT><ACTION>reset</ACTION>", "d", true, Dword(0x1f),
     REGISTRY_DWORD, "Reset registry value HKCU\\Soft\\d\r\n", 1, 1},
    {10, REGISTRY_DWORD, Dword(5), "<DEFAULT>zz</DEFAULT><ACTION>reset</ACTION>", "d", true, Dword(5), REGISTRY_DWORD,
     "", 0, 0},
    {11, REGISTRY_DWORD, Dword(1), "<DEFAULT>1</DEFAULT><ACTION>reset</ACTION>", "d", true, Dword(1), REGISTRY_DWORD,
     "", 0, 0},
    // a DWORD that shows the threat counts as affected whatever the keyword
    {12, REGISTRY_DWORD, Dword(7), "<VIRUSVALUE>7</VIRUSVALUE><ACTION>look</ACTION>", "d", true, Dword(7),
     REGISTRY_DWORD, "", 1, 0},
    // text without a terminating zero, and DWORD data shorter than four bytes
    {13, kBinary, "evil.exe", "<VIRUSVALUE>evil.exe</VIRUSVALUE><ACTION>delete</ACTION>", "b", false, "", 0,
     "Deleted registry value HKCU\\Soft\\b\r\n", 1, 1},
    {14, REGISTRY_DWORD, std::string("\x01\x01", 2), "<VIRUSVALUE>101</VIRUSVALUE><ACTION>delete</ACTION>", "d",
     false, "", 0, "Deleted registry value HKCU\\Soft\\d\r\n", 1, 1},
    {15, REGISTRY_TEXT, Text(kRun), "<VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION>", "", false, "", 0,
     "Deleted registry value HKCU\\Soft\\Default\r\n", 1, 1},
    // only the text before the first zero is looked at
    {16, kExpandText, std::string("ok\0evil.exe\0", 12), "<VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION>", "v",
     true, std::string("ok\0evil.exe\0", 12), kExpandText, "", 0, 0},
    {17, REGISTRY_TEXT, Text(kRun), "<VIRUSVALUE>evil</VIRUSVALUE>", "v", true, Text(kRun), REGISTRY_TEXT, "", 0, 0},
    {18, REGISTRY_TEXT, "", "<ACTION>delete</ACTION>", "v", true, "", REGISTRY_TEXT, "", 0, 0},
    // any VIRUSVALUE may match: the first has no text
    {19, REGISTRY_TEXT, Text(kRun), "<VIRUSVALUE/><VIRUSVALUE>nothing</VIRUSVALUE><VIRUSVALUE>Evil</VIRUSVALUE>"
     "<ACTION>delete</ACTION>", "v", false, "", 0, "Deleted registry value HKCU\\Soft\\v\r\n", 1, 1},
    // with a VIRUSVALUE the default does not decide; a match is reset to it
    {20, REGISTRY_TEXT, Text("Evil.exe"), "<VIRUSVALUE>evil</VIRUSVALUE><DEFAULT>Good.EXE</DEFAULT>"
     "<ACTION>reset</ACTION>", "v", true, Text("good.exe"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\v\r\n",
     1, 1},
    // A DEFAULT with a type is written as given, with that type; the value
    // differs from it in type or in its text without regard to case.
    {21, REGISTRY_TEXT, Text("C:\\evil\\x.dll"), kTypedServer, "", true, Text(kServer), kExpandText,
     "Reset registry value HKCU\\Soft\\Default\r\n", 1, 1},
    {22, kExpandText, Text("%systemroot%\\system32\\WEBCHECK.dll"), kTypedServer, "", true,
     Text("%systemroot%\\system32\\WEBCHECK.dll"), kExpandText, "", 0, 0},
    {23, REGISTRY_TEXT, Text(kServer), kTypedServer, "", true, Text(kServer), kExpandText,
     "Reset registry value HKCU\\Soft\\Default\r\n", 1, 1},
    {24, kExpandText, Text("Explorer.exe"), "<DEFAULT type=\"REG_SZ\">Explorer.exe</DEFAULT><ACTION>reset</ACTION>",
     "Shell", true, Text("Explorer.exe"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\Shell\r\n", 1, 1},
    {25, REGISTRY_DWORD, Dword(5), "<DEFAULT type=\"REG_SZ\">Off</DEFAULT><ACTION>reset</ACTION>", "d", true,
     Text("Off"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\d\r\n", 1, 1},
    // expand="yes": a leading folder macro word is the folder; without a
    // type the text is still written in lower case
    {26, REGISTRY_TEXT, Text("x"), "<DEFAULT type=\"REG_EXPAND_SZ\" expand=\"yes\">system\\WebCheck.dll</DEFAULT>"
     "<ACTION>reset</ACTION>", "v", true, Text("C:\\WINDOWS\\SYSTEM32\\WebCheck.dll"), kExpandText,
     "Reset registry value HKCU\\Soft\\v\r\n", 1, 1},
    {27, REGISTRY_TEXT, Text("x"), "<DEFAULT expand=\"yes\">windows\\Explorer.exe</DEFAULT><ACTION>reset</ACTION>", "v",
     true, Text("c:\\windows\\explorer.exe"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\v\r\n", 1, 1},
    {28, REGISTRY_TEXT, Text("x"), "<DEFAULT expand=\"no\">windows</DEFAULT><ACTION>reset</ACTION>", "v", true,
     Text("windows"), REGISTRY_TEXT, "Reset registry value HKCU\\Soft\\v\r\n", 1, 1},
};

TEST_F(Registry, EachValueEndsAsItsElementsSay) {
    for (const ValueRow& r : kValues) {
        SetUp();
        Key(HKCU, "Soft").values = {{"other", REGISTRY_TEXT, Text("evil.exe")}, {r.name, r.type, r.data}};
        ScriptRun run = RunScript(RegistryScript(std::string("<KEY handle=\"HKEY_CURRENT_USER\" name=\"Soft\"><VALUE name=\"") +
                                           r.name + "\">" + r.elements + "</VALUE></KEY>"));
        FakeKey& key = Key(HKCU, "Soft");
        FakeValue* value = Find(&key, r.name);
        EXPECT_EQ(r.kept, value != nullptr) << "row " << r.row;
        if (value && r.kept) {
            EXPECT_EQ(r.after, value->bytes) << "row " << r.row;
            EXPECT_EQ(r.afterType, value->type) << "row " << r.row;
        }
        EXPECT_NE(nullptr, Find(&key, "other")) << "row " << r.row;
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(r.affected, g_counters[COUNT_REGKEYS_AFFECTED]) << "row " << r.row;
        EXPECT_EQ(r.changed, g_counters[COUNT_REGKEYS_CHANGED]) << "row " << r.row;
    }
}

TEST_F(Registry, FailedChangesAreReportedAndCountedAsAffectedOnly) {
    struct Row {
        int row;
        std::string data;
        const char* elements;
        const char* log;
    } rows[] = {
        {1, Text("x"), "<DEFAULT>y</DEFAULT><ACTION>reset</ACTION>", "Could not reset registry value HKLM\\S\\v\r\n"},
        {2, Text("x"), "<ACTION>delete</ACTION>", "Could not delete registry value HKLM\\S\\v\r\n"},
        {3, Dword(2), "<DEFAULT>1</DEFAULT><ACTION>reset</ACTION>", "Could not reset registry value HKLM\\S\\v\r\n"},
    };
    for (const Row& r : rows) {
        SetUp();
        g_refused = {"v"};
        Key(HKLM, "S").values = {{"v", r.row == 3 ? REGISTRY_DWORD : REGISTRY_TEXT, r.data}};
        ScriptRun run = RunScript(
            RegistryScript(std::string("<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\"><VALUE name=\"v\">") + r.elements +
                     "</VALUE></KEY>"));
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(r.data, Key(HKLM, "S").values[0].bytes) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_REGKEYS_AFFECTED]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_REGKEYS_CHANGED]) << "row " << r.row;
    }
}

TEST_F(Registry, SetInfectedMarksTheRunOnlyWhenTheValueIsActedOn) {
    Key(HKCU, "S").values = {{"a", REGISTRY_TEXT, Text("clean")}};
    RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"a\"><VIRUSVALUE>evil</VIRUSVALUE>"
                       "<ACTION SetInfected=\"true\">delete</ACTION></VALUE></KEY>"));
    EXPECT_EQ(0, g_infected);
    Key(HKCU, "S").values = {{"a", REGISTRY_TEXT, Text("evil")}};
    RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"a\"><VIRUSVALUE>evil</VIRUSVALUE>"
                       "<ACTION SetInfected=\"true\">delete</ACTION></VALUE></KEY>"));
    EXPECT_EQ(1, g_infected);
}

// ---------------------------------------------------------------- the walk

TEST_F(Registry, WalkDeletesEveryMatchAndExaminesTheRestOnce) {
    Key(HKLM, "Run").values = {{"one", REGISTRY_TEXT, Text("c:\\a.exe")},
                               {"two", REGISTRY_TEXT, Text("c:\\evil.exe")},
                               {"three", REGISTRY_TEXT, Text("EVIL.EXE /q")},
                               {"four", REGISTRY_TEXT, Text("c:\\b.exe")},
                               {"five", REGISTRY_DWORD, Dword(9)}};
    ScriptRun run = RunScript(RegistryScript("<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Run\"><VALUE>"
                                       "<VIRUSVALUE>evil.exe</VIRUSVALUE><ACTION>delete</ACTION></VALUE></KEY>"));
    std::vector<std::string> left;
    for (const FakeValue& v : Key(HKLM, "Run").values) left.push_back(v.name);
    EXPECT_EQ((std::vector<std::string>{"one", "four", "five"}), left);
    EXPECT_EQ((std::map<std::string, int>{{"one", 1}, {"two", 1}, {"three", 1}, {"four", 1}, {"five", 1}}), g_queries);
    EXPECT_EQ("Deleted registry value HKLM\\Run\\two\r\nDeleted registry value HKLM\\Run\\three\r\n", Work(run));
    EXPECT_EQ(2, g_counters[COUNT_REGKEYS_CHANGED]);
}

TEST_F(Registry, WalkReadsLongValueNamesWhole) {
    std::string longName(300, 'n');
    std::string longer = longName + "x";
    Key(HKCU, "Run").values = {{longName, REGISTRY_TEXT, Text("evil")},
                               {longer, REGISTRY_TEXT, Text("fine")},
                               {"last", REGISTRY_TEXT, Text("evil")}};
    ScriptRun run = RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"Run\"><VALUE>"
                                       "<VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION></VALUE></KEY>"));
    ASSERT_EQ(1u, Key(HKCU, "Run").values.size());
    EXPECT_EQ(longer, Key(HKCU, "Run").values[0].name);
    EXPECT_EQ(1, g_queries[longer]);
    EXPECT_EQ(2, g_counters[COUNT_REGKEYS_CHANGED]) << Work(run);
}

TEST_F(Registry, WalkGoesOnPastAValueThatCannotBeDeleted) {
    Key(HKCU, "Run").values = {{"a", REGISTRY_TEXT, Text("evil")}, {"b", REGISTRY_TEXT, Text("evil")}};
    g_refused = {"a"};
    ScriptRun run = RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"Run\"><VALUE>"
                                       "<VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION></VALUE></KEY>"));
    EXPECT_EQ("Could not delete registry value HKCU\\Run\\a\r\nDeleted registry value HKCU\\Run\\b\r\n", Work(run));
    ASSERT_EQ(1u, Key(HKCU, "Run").values.size());
}

// ---------------------------------------------------------------- stores

TEST_F(Registry, CaptureFeedsAStoreThatALaterKeyUses) {
    Key(HKCU, "Run").values = {{"x", REGISTRY_TEXT, Text("\"C:\\Prog\\Evil.EXE\" /start")},
                               {"y", REGISTRY_TEXT, Text("c:\\windows\\other.exe")}};
    Key(HKCU, "Software\\evil");
    Key(HKCU, "Software\\other");
    ScriptRun run = RunScript(
        Script("<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"Run\"><VALUE><VIRUSVALUE>Prog\\%s.exe"
               "</VIRUSVALUE><ACTION storeList=\"PROG\">delete</ACTION></VALUE></KEY></REGISTRY>"
               "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"Software\\PROG\"><ACTION>delete</ACTION></KEY>"
               "</REGISTRY>"));
    ASSERT_NE(nullptr, g_stores);
    EXPECT_STREQ("PROG", g_stores->name);
    EXPECT_EQ(1, g_stores->isList);
    ASSERT_NE(nullptr, g_stores->values);
    EXPECT_STREQ("evil", g_stores->values->text);
    EXPECT_EQ(nullptr, g_stores->values->next);
    ASSERT_EQ(1u, Key(HKCU, "Run").values.size());
    EXPECT_EQ("y", Key(HKCU, "Run").values[0].name);
    EXPECT_EQ(0u, g_keys.count(KeyName(HKCU, "Software\\evil")));
    EXPECT_EQ(1u, g_keys.count(KeyName(HKCU, "Software\\other")));
    EXPECT_EQ(2, g_counters[COUNT_REGKEYS_CHANGED]) << run.record.log;
}

TEST_F(Registry, EveryValueIsTriedAgainstEveryEntryOfAListStore) {
    AddToStore("FOUND", "a.exe", 1);
    AddToStore("FOUND", "b.exe", 1);
    AddToStore("FOUND", "c.exe", 1);
    Key(HKCU, "Run").values = {{"1", REGISTRY_TEXT, Text("c:\\dir\\a.exe")},
                               {"2", REGISTRY_TEXT, Text("c:\\dir\\keep.exe")},
                               {"3", REGISTRY_TEXT, Text("C:\\DIR\\C.EXE")},
                               {"4", REGISTRY_TEXT, Text("c:\\dir\\b.exe")}};
    RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"Run\"><VALUE><VIRUSVALUE>\\FOUND</VIRUSVALUE>"
                       "<ACTION>delete</ACTION></VALUE></KEY>"));
    ASSERT_EQ(1u, Key(HKCU, "Run").values.size());
    EXPECT_EQ("2", Key(HKCU, "Run").values[0].name);
}

TEST_F(Registry, DwordIsComparedWithEveryEntryOfAListStore) {
    AddToStore("N", "5", 1);
    AddToStore("N", "7", 1);
    Key(HKCU, "S").values = {{"a", REGISTRY_DWORD, Dword(5)}, {"b", REGISTRY_DWORD, Dword(6)}};
    RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE><VIRUSVALUE>N</VIRUSVALUE>"
                       "<ACTION>delete</ACTION></VALUE></KEY>"));
    ASSERT_EQ(1u, Key(HKCU, "S").values.size());
    EXPECT_EQ("b", Key(HKCU, "S").values[0].name);
}

TEST(ValueCapture, PatternsAndWhatTheyCapture) {
    struct Row {
        int row;
        const char* text;
        const char* pattern;
        bool matched;
        const char* captured;  // null: no capture
    } rows[] = {
        {1, "c:\\windows\\evil.exe /run", "%s.exe", true, "c:\\windows\\evil"},
        {2, "c:\\windows\\evil.exe /run", "windows\\%s", true, "evil.exe /run"},
        {3, "c:\\windows\\evil.exe", "%s", true, "c:\\windows\\evil.exe"},
        {4, "abc", "x%s", false, nullptr},
        {5, "abc", "a%sx", false, nullptr},
        {6, "b a", "a%sb", false, nullptr},  // the suffix is looked for after the prefix only
        {7, "a.exe b.exe", "%s.exe", true, "a"},
        {8, "abc", "", true, nullptr},
        {9, "abc", "bc", true, nullptr},
        {10, "abc", "abcd", false, nullptr},
        {11, "ab", "ab%s", true, ""},
    };
    for (const Row& r : rows) {
        Capture capture;
        EXPECT_EQ(r.matched, MatchValuePattern(r.text, r.pattern, &capture)) << "row " << r.row;
        if (!r.matched) continue;
        if (r.captured)
            EXPECT_EQ(r.captured, std::string(capture.start, capture.length)) << "row " << r.row;
        else
            EXPECT_EQ(nullptr, capture.start) << "row " << r.row;
    }
}

// ---------------------------------------------------------------- keys

TEST_F(Registry, KeysAreDeletedOnlyWhenTheySaySoAndCan) {
    struct Row {
        int row;
        const char* key;  // KEY element
        bool subkeys;
        bool gone;
        const char* log;
    } rows[] = {
        {1, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"><ACTION>delete</ACTION></KEY>", false, true,
         "Deleted registry key HKLM\\Soft\\Evil\r\n"},
        {2, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"><ACTION>delete</ACTION></KEY>", true, false, ""},
        {3, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"><ACTION>Delete</ACTION></KEY>", false, false, ""},
        {4, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"/>", false, false, ""},
        {5, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Missing\"><ACTION>delete</ACTION></KEY>", false, false,
         ""},
        // a KEY without a name would be the root itself
        {6, "<KEY handle=\"HKEY_LOCAL_MACHINE\"><ACTION>delete</ACTION></KEY>", false, false, ""},
        // the KEY's own ACTION does nothing once it has VALUEs
        {7, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"><ACTION>delete</ACTION><VALUE name=\"zz\"/></KEY>",
         false, false, ""},
    };
    for (const Row& r : rows) {
        SetUp();
        Key(HKLM, "Soft\\Evil").hasSubkeys = r.subkeys;
        ScriptRun run = RunScript(RegistryScript(r.key));
        EXPECT_EQ(r.gone ? 0u : 1u, g_keys.count(KeyName(HKLM, "Soft\\Evil"))) << "row " << r.row;
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(r.gone ? 1 : 0, g_counters[COUNT_REGKEYS_AFFECTED]) << "row " << r.row;
        EXPECT_EQ(r.gone ? 1 : 0, g_counters[COUNT_REGKEYS_CHANGED]) << "row " << r.row;
        if (r.row == 6) EXPECT_TRUE(g_calls.empty());
    }
}

TEST_F(Registry, KeysAreCarriedOutLastFirst) {
    Key(HKCU, "A");
    Key(HKCU, "B");
    RunScript(RegistryScript("<KEY handle=\"HKEY_CURRENT_USER\" name=\"A\"><ACTION>delete</ACTION></KEY>"
                       "<KEY handle=\"HKEY_CURRENT_USER\" name=\"B\"><ACTION>delete</ACTION></KEY>"));
    EXPECT_EQ((std::vector<std::string>{"deleteKey B", "deleteKey A"}), g_calls);
}

// ---------------------------------------------------------------- the element

TEST_F(Registry, BadAttributesAreCorruptDataAndNothingIsDone) {
    const char* keys[] = {
        "<KEY handle=\"HKLM\" name=\"S\"><ACTION>delete</ACTION></KEY>",
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\" path=\"x\"><ACTION>delete</ACTION></KEY>",
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\"><VALUE name=\"v\" type=\"x\"/></KEY>",
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\"><VALUE name=\"v\"><DEFAULT type=\"REG_DWORD\">1</DEFAULT>"
        "<ACTION>reset</ACTION></VALUE></KEY>",
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\"><VALUE name=\"v\"><DEFAULT type=\"reg_sz\">1</DEFAULT>"
        "<ACTION>reset</ACTION></VALUE></KEY>",
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"S\"><VALUE name=\"v\"><DEFAULT expand=\"Yes\">1</DEFAULT>"
        "<ACTION>reset</ACTION></VALUE></KEY>",
    };
    for (const char* k : keys) {
        SetUp();
        Key(HKLM, "S").values = {{"v", REGISTRY_TEXT, Text("x")}};
        ScriptRun run = RunScript(RegistryScript(k));
        EXPECT_NE(std::string::npos, run.record.log.find("\r\nCorrupt data\r\n")) << k;
        EXPECT_EQ(std::string::npos, run.record.log.find("Checking")) << k;
        EXPECT_TRUE(g_calls.empty()) << k;
    }
}

TEST_F(Registry, HeadingFollowsTheThreatTypeAndTheDefaultMessages) {
    ScriptRun app = RunScript(Script("<REGISTRY></REGISTRY>", "Application"));
    EXPECT_NE(std::string::npos, app.record.log.find("\r\nChecking registry keys\r\n\r\n"));
    ScriptRun off = RunScript(Script("<REGISTRY DefaultMessages=\"off\"></REGISTRY>"));
    EXPECT_EQ(std::string::npos, off.record.log.find("Checking"));
    EXPECT_TRUE(off.context.flags & RUN_DID_REGISTRY);
    EXPECT_FALSE(off.context.flags & RUN_IN_REGISTRY);
}

// Values and keys are saved for undo before they change: a refused save
// leaves them as they are, and the saver hears whether each change worked.
TEST_F(Registry, ChangesAreSavedForUndoFirst) {
    struct Row {
        int row;
        bool saveAnswer;
        std::vector<std::string> calls;
        const char* log;
    } rows[] = {
        // keys and values are carried out last first
        {1, true,
         {"key 1 S\\Gone", "made", "value 1 S r reset 1:" + Text("good.exe"), "made", "value 1 S v", "made"},
         "Deleted registry key HKCU\\S\\Gone\r\nReset registry value HKCU\\S\\r\r\nDeleted registry value HKCU\\S\\v\r\n"},
        {2, false, {"key 1 S\\Gone", "value 1 S r reset 1:" + Text("good.exe"), "value 1 S v"},
         "Could not delete registry key HKCU\\S\\Gone: could not save it for undo (the disk is full)\r\n"
         "Could not reset registry value HKCU\\S\\r: could not save it for undo (the disk is full)\r\n"
         "Could not delete registry value HKCU\\S\\v: could not save it for undo (the disk is full)\r\n"},
    };
    for (const Row& r : rows) {
        SetUp();
        Key(HKCU, "S").values = {{"v", REGISTRY_TEXT, Text("evil")}, {"r", REGISTRY_TEXT, Text("evil")}};
        Key(HKCU, "S\\Gone");
        FakeUndoSaving::Install(r.saveAnswer);
        ScriptRun run = RunScript(RegistryScript(
            "<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>"
            "<VALUE name=\"r\"><DEFAULT>good.exe</DEFAULT><ACTION>reset</ACTION></VALUE></KEY>"
            "<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\\Gone\"><ACTION>delete</ACTION></KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.calls, FakeUndoSaving::Calls()) << "row " << r.row;
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
        FakeValue* reset = Find(&Key(HKCU, "S"), "r");
        ASSERT_NE(nullptr, reset) << "row " << r.row;
        EXPECT_EQ(r.saveAnswer ? Text("good.exe") : Text("evil"), reset->bytes) << "row " << r.row;
        EXPECT_EQ(!r.saveAnswer, Find(&Key(HKCU, "S"), "v") != nullptr) << "row " << r.row;
    }
}


// ---------------------------------------------------------------- report only

// A report-only run finds what a real run finds and counts it, but no
// change, flush or undo save reaches the registry: one line says what would
// have been done.
TEST_F(Registry, ReportOnlyChangesNothingAndSaysWhatItWould) {
    struct Row {
        int row;
        uint32_t type;         // of HKCU\S\v
        std::string data;
        const char* elements;  // inside the KEY
        const char* log;
        int affected;
        const char* item;      // the one item, or null
    } rows[] = {
        {1, REGISTRY_TEXT, Text("evil.exe"), "<VALUE name=\"v\"><VIRUSVALUE>Evil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>",
         "Would delete registry value HKCU\\S\\v\r\n", 1, "registryValue|HKCU\\S\\v|Evil|delete|wouldDo|0"},
        {2, REGISTRY_TEXT, Text("evil.exe"), "<VALUE name=\"v\"><DEFAULT>Good.exe</DEFAULT><ACTION>reset</ACTION></VALUE>",
         "Would reset registry value HKCU\\S\\v\r\n", 1,
         "registryValue|HKCU\\S\\v|differs from DEFAULT good.exe|reset|wouldDo|0"},
        {3, REGISTRY_DWORD, Dword(7), "<VALUE name=\"v\"><VIRUSVALUE>7</VIRUSVALUE><ACTION>delete</ACTION></VALUE>",
         "Would delete registry value HKCU\\S\\v\r\n", 1, "registryValue|HKCU\\S\\v|7|delete|wouldDo|0"},
        {4, REGISTRY_DWORD, Dword(7), "<VALUE name=\"v\"><DEFAULT>1</DEFAULT><ACTION>reset</ACTION></VALUE>",
         "Would reset registry value HKCU\\S\\v\r\n", 1,
         "registryValue|HKCU\\S\\v|differs from DEFAULT 1|reset|wouldDo|0"},
        // nothing to do stays silent
        {5, REGISTRY_TEXT, Text("fine.exe"), "<VALUE name=\"v\"><VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>", "", 0,
         nullptr},
    };
    for (const Row& r : rows) {
        SetUp();
        g_settings.reportOnly = 1;
        Key(HKCU, "S").values = {{"v", r.type, r.data}};
        FakeUndoSaving::Install(true);
        ScriptRun run = RunScript(RegistryScript(std::string("<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\">") +
                                                 r.elements + "</KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
        EXPECT_TRUE(g_calls.empty()) << "row " << r.row << ": " << (g_calls.empty() ? "" : g_calls[0]);
        EXPECT_TRUE(FakeUndoSaving::Calls().empty()) << "row " << r.row;
        ASSERT_EQ(1u, Key(HKCU, "S").values.size()) << "row " << r.row;
        EXPECT_EQ(r.data, Key(HKCU, "S").values[0].bytes) << "row " << r.row;
        EXPECT_EQ(r.affected, g_counters[COUNT_REGKEYS_AFFECTED]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_REGKEYS_CHANGED]) << "row " << r.row;
        std::vector<std::string> items;
        if (r.item) items.push_back(r.item);
        EXPECT_EQ(items, RecordedItems()) << "row " << r.row;
    }
}

// Nothing is deleted, so the walk must not step back: each value is read
// once and the walk ends.
TEST_F(Registry, ReportOnlyWalkReadsEachValueOnce) {
    g_settings.reportOnly = 1;
    Key(HKLM, "Run").values = {{"one", REGISTRY_TEXT, Text("c:\\a.exe")},
                               {"two", REGISTRY_TEXT, Text("c:\\evil.exe")},
                               {"three", REGISTRY_TEXT, Text("EVIL.EXE /q")},
                               {"four", REGISTRY_TEXT, Text("c:\\b.exe")}};
    ScriptRun run = RunScript(RegistryScript("<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Run\"><VALUE>"
                                             "<VIRUSVALUE>evil.exe</VIRUSVALUE><ACTION>delete</ACTION></VALUE></KEY>"));
    EXPECT_EQ((std::map<std::string, int>{{"one", 1}, {"two", 1}, {"three", 1}, {"four", 1}}), g_queries);
    EXPECT_EQ("Would delete registry value HKLM\\Run\\two\r\nWould delete registry value HKLM\\Run\\three\r\n",
              Work(run));
    EXPECT_EQ(4u, Key(HKLM, "Run").values.size());
    EXPECT_EQ(2, g_counters[COUNT_REGKEYS_AFFECTED]);
    EXPECT_EQ(0, g_counters[COUNT_REGKEYS_CHANGED]);
    EXPECT_TRUE(g_calls.empty());
}

// A key is looked for by opening it: one that is there would be deleted and
// counts as affected, a missing one stays silent.
TEST_F(Registry, ReportOnlyKeyDeletionLooksForTheKey) {
    g_settings.reportOnly = 1;
    Key(HKLM, "Soft\\Evil").hasSubkeys = true;
    ScriptRun run = RunScript(RegistryScript(
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Missing\"><ACTION>delete</ACTION></KEY>"
        "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Soft\\Evil\"><ACTION SetInfected=\"true\">delete</ACTION></KEY>"));
    EXPECT_EQ("Would delete registry key HKLM\\Soft\\Evil\r\n", Work(run));
    EXPECT_EQ(1u, g_keys.count(KeyName(HKLM, "Soft\\Evil")));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(1, g_counters[COUNT_REGKEYS_AFFECTED]);
    EXPECT_EQ(0, g_counters[COUNT_REGKEYS_CHANGED]);
    EXPECT_EQ(1, g_infected);
    EXPECT_EQ(std::vector<std::string>{"registryKey|HKLM\\Soft\\Evil||delete|wouldDo|0"}, RecordedItems());
}

// ---------------------------------------------------------------- run report

// One item per value or key acted on, with what matched, the work, its
// outcome and the registry's code for a failure.
TEST_F(Registry, EachChangeIsOneItemOfTheRunReport) {
    struct Row {
        int row;
        const char* elements;  // inside KEY HKCU\S, whose values v (text) and d (DWORD 7) are set
        const char* refused;   // the value whose change fails
        bool saveAnswer;
        std::vector<std::string> items;
    } rows[] = {
        {1, "<VALUE name=\"v\"><VIRUSVALUE>nothing</VIRUSVALUE><VIRUSVALUE>EVIL</VIRUSVALUE><ACTION>delete</ACTION>"
            "</VALUE>", "", true, {"registryValue|HKCU\\S\\v|EVIL|delete|done|0"}},
        {2, "<VALUE name=\"v\"><DEFAULT>Good.EXE</DEFAULT><ACTION>reset</ACTION></VALUE>", "", true,
         {"registryValue|HKCU\\S\\v|differs from DEFAULT good.exe|reset|done|0"}},
        {3, "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>", "v", true, {"registryValue|HKCU\\S\\v||delete|failed|5"}},
        {4, "<VALUE name=\"d\"><DEFAULT>1</DEFAULT><ACTION>reset</ACTION></VALUE>", "d", true,
         {"registryValue|HKCU\\S\\d|differs from DEFAULT 1|reset|failed|5"}},
        {5, "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>", "", false, {"registryValue|HKCU\\S\\v||delete|notSaved|0"}},
        // found, but the ACTION asks for no change it can make
        {6, "<VALUE name=\"d\"><VIRUSVALUE>7</VIRUSVALUE><ACTION>look</ACTION></VALUE>", "", true,
         {"registryValue|HKCU\\S\\d|7|look|found|0"}},
        {7, "<VALUE name=\"v\"><ACTION>reset</ACTION></VALUE>", "", true, {"registryValue|HKCU\\S\\v||reset|found|0"}},
        {8, "<VALUE name=\"\"><VIRUSVALUE>evil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>", "", true,
         {"registryValue|HKCU\\S\\Default|evil|delete|done|0"}},
        // not acted on: no item
        {9, "<VALUE name=\"v\"><DEFAULT>C:\\EVIL.exe</DEFAULT><ACTION>reset</ACTION></VALUE>", "", true, {}},
        // a store's value is what matched
        {10, "<VALUE name=\"v\"><VIRUSVALUE>\\BAD</VIRUSVALUE><ACTION>delete</ACTION></VALUE>", "", true,
         {"registryValue|HKCU\\S\\v|\\evil.exe|delete|done|0"}},
    };
    for (const Row& r : rows) {
        SetUp();
        AddToStore("BAD", "other.exe", 1);
        AddToStore("BAD", "evil.exe", 1);
        Key(HKCU, "S").values = {{"v", REGISTRY_TEXT, Text("c:\\evil.exe")},
                                 {"d", REGISTRY_DWORD, Dword(7)},
                                 {"", REGISTRY_TEXT, Text("c:\\evil.exe")}};
        if (*r.refused) g_refused = {r.refused};
        FakeUndoSaving::Install(r.saveAnswer);
        RunScript(RegistryScript(std::string("<KEY handle=\"HKEY_CURRENT_USER\" name=\"S\">") + r.elements + "</KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.items, RecordedItems()) << "row " << r.row;
    }
}

// A key that is not there gives no item; one that will not go (on the NT
// family, one with subkeys) stays silent in the log but is reported failed.
TEST_F(Registry, KeyDeletionItems) {
    struct Row {
        int row;
        const char* name;
        bool subkeys;
        bool saveAnswer;
        std::vector<std::string> items;
        const char* log;
    } rows[] = {
        {1, "Soft\\Evil", false, true, {"registryKey|HKLM\\Soft\\Evil||delete|done|0"},
         "Deleted registry key HKLM\\Soft\\Evil\r\n"},
        {2, "Soft\\Evil", true, true, {"registryKey|HKLM\\Soft\\Evil||delete|failed|5"}, ""},
        {3, "Soft\\Missing", false, true, {}, ""},
        {4, "Soft\\Evil", false, false, {"registryKey|HKLM\\Soft\\Evil||delete|notSaved|0"},
         "Could not delete registry key HKLM\\Soft\\Evil: could not save it for undo (the disk is full)\r\n"},
    };
    for (const Row& r : rows) {
        SetUp();
        Key(HKLM, "Soft\\Evil").hasSubkeys = r.subkeys;
        FakeUndoSaving::Install(r.saveAnswer);
        ScriptRun run = RunScript(RegistryScript(std::string("<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"") + r.name +
                                                 "\"><ACTION>delete</ACTION></KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.items, RecordedItems()) << "row " << r.row;
        EXPECT_EQ(r.log, Work(run)) << "row " << r.row;
    }
}


// A key that is there but will not open is silent in the log, as before,
// and named in the run report as not examined; a missing key is not.
TEST_F(Registry, KeysThatWillNotOpenAreNotExamined) {
    struct Row {
        int row;
        bool reportOnly;
        const char* key;  // KEY element
        std::vector<std::string> notExamined;
    } rows[] = {
        {1, false, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Locked\"><VALUE><ACTION>delete</ACTION></VALUE></KEY>",
         {"registryKey|HKLM\\Locked|could not be opened|5"}},
        {2, true, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Locked\"><ACTION>delete</ACTION></KEY>",
         {"registryKey|HKLM\\Locked|could not be opened|5"}},
        {3, false, "<KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Missing\"><VALUE><ACTION>delete</ACTION></VALUE></KEY>",
         {}},
    };
    for (const Row& r : rows) {
        SetUp();
        g_settings.reportOnly = r.reportOnly ? 1 : 0;
        Key(HKLM, "Locked").values = {{"v", REGISTRY_TEXT, Text("evil")}};
        g_denied = {"Locked"};
        ScriptRun run = RunScript(RegistryScript(r.key));
        EXPECT_EQ("", Work(run)) << "row " << r.row;
        EXPECT_EQ(r.notExamined, NotExaminedItems()) << "row " << r.row;
        EXPECT_TRUE(RecordedItems().empty()) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_REGKEYS_AFFECTED]) << "row " << r.row;
    }
}

}  // namespace
