// The ACTION element: attributes, positions, the record's parent slot, and
// the text slots of CollectElementText with the one-word ACTION keyword.
#include <expat.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "disk/directory_list.h"
#include "disk/file_record.h"
#include "memory/process_record.h"
#include "script/action_element.h"
#include "script/data_error.h"
#include "script/element_text.h"
#include "script/dispatch.h"
#include "script/grammar.h"
#include "script/pass.h"
#include "script/position.h"
#include "script/store.h"
#include "system/registry_records.h"

namespace {

std::vector<int> g_errors;

bool RecordError(ParseContext*, int code) {
    g_errors.push_back(code);
    return true;
}

template <typename T>
T* New() {
    return static_cast<T*>(calloc(1, sizeof(T)));
}

enum GroupKind {
    NO_GROUP, DISK_EMPTY, DISK_FILE, MEMORY_PROCESS, REGISTRY_KEY, REGISTRY_VALUE, REGISTRY_VIRUS, INIFILE
};

// An open group element with its current record, built by hand.
struct Group {
    ParseContext context{};
    FileRecord* file = nullptr;
    ProcessRecord* process = nullptr;
    KeyRecord* key = nullptr;

    explicit Group(GroupKind kind) {
        ResetElementStack(&context);
        switch (kind) {
            case NO_GROUP: break;
            case DISK_EMPTY: context.flags = RUN_IN_DISK; break;
            case DISK_FILE:
                context.flags = RUN_IN_DISK;
                file = New<FileRecord>();
                file->next = New<FileRecord>();  // an older FILE
                context.groupRecord = file;
                break;
            case MEMORY_PROCESS:
                context.flags = RUN_IN_MEMORY;
                context.groupRecord = process = New<ProcessRecord>();
                break;
            case REGISTRY_VIRUS:
            case REGISTRY_VALUE:
            case REGISTRY_KEY:
                context.flags = RUN_IN_REGISTRY;
                context.groupRecord = key = New<KeyRecord>();
                if (kind == REGISTRY_KEY) break;
                key->values = New<ValueRecord>();
                if (kind == REGISTRY_VALUE) break;
                key->values->virusValues = New<VirusValueRecord>();
                key->values->virusValues->next = New<VirusValueRecord>();
                break;
            case INIFILE: context.flags = RUN_IN_INIFILE; break;
        }
    }
    ~Group() {
        FreeFileList(file);
        FreeProcessList(process);
        FreeKeyList(key);
        FreeContextTexts(&context);
    }
    // The slot an ACTION must land in.
    ActionRecord** Expected() {
        if (file) return &file->action;
        if (process) return &process->action;
        if (key) return key->values ? &key->values->action : &key->action;
        return nullptr;
    }
};

class Action : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errors.clear();
        g_dataErrorObserver = RecordError;
        FreeStores();
    }
    void TearDown() override {
        g_dataErrorObserver = nullptr;
        FreeStores();
        ClearDirectoryList();
    }
};

void Start(Group* group, std::vector<const char*> attributes) {
    attributes.push_back(nullptr);
    OnActionStart(&group->context, "ACTION", attributes.data());
}

TEST_F(Action, Positions) {
    struct Row {
        int line;
        PositionSpec before;
        const char* text;
        PositionSpec after;
    } rows[] = {
        {1, {0, 0}, "1A0", {0, 0x1A0}},
        {2, {2, 0}, "end - 200", {2, -0x200}},
        {3, {0, 0}, "pattern1+10", {17, 0x10}},
        {4, {0, 0}, "pattern0", {16, 0}},
        {5, {0, 0}, "pattern", {16, 0}},
        {6, {2, 5}, "patternX", {2, 5}},
        {7, {0, 0}, "pattern-4", {0, 0}},
        {8, {0, 0}, "pattern10", {32, 0}},  // hexadecimal: the seventeenth PATTERN
        {9, {0, 0}, "pattern1 - 4", {17, -4}},
        {10, {0, 0}, "pattern12345", {16 + 0x1234, 0}},  // 4 digits at most, then no sign
        {11, {0, 7}, "end", {2, 7}},
        {12, {2, 0}, "end+", {2, 0}},
        {13, {2, 3}, "end+zz", {2, 3}},
        {14, {2, 0}, "end 10", {2, 0}},
        {15, {2, 0}, "end\t-10", {2, 0}},  // only spaces are blanks
        {16, {2, 0}, "end-80000000", {2, INT32_MIN}},
        {17, {2, 0}, "0", {0, 0}},
        {18, {0, 0}, "123456789", {0, 0x12345678}},
        {19, {0, 0}, "END-10", {0, 0xE}},  // the words are case-sensitive
        {20, {2, 0}, "xyz", {2, 0}},
        {21, {2, 0}, "", {2, 0}},
    };
    for (const Row& row : rows) {
        PositionSpec p = row.before;
        ParsePosition(&p, row.text);
        EXPECT_EQ(row.after.origin, p.origin) << "row " << row.line;
        EXPECT_EQ(row.after.offset, p.offset) << "row " << row.line;
    }
}

TEST_F(Action, Attributes) {
    std::string longPath = "windows\\" + std::string(300, 'x');
    struct Row {
        int line;
        std::vector<const char*> attributes;
        uint32_t storeFlags;
        const char* storeName;
        int32_t setInfected;
        uint32_t length;
        const char* destination;
        const char* library;
    } rows[] = {
        {1, {}, 0, nullptr, 0, 0, nullptr, nullptr},
        {2, {"store", "S", "storeFlag", "FullPath"}, 0x2, "S", 0, 0, nullptr, nullptr},
        {3, {"storeFlag", "FullPath NoExt", "storeList", "L"}, 0x1, "L", 0, 0, nullptr, nullptr},
        {4, {"storeList", "L", "storeFlag", "FullPath NoExt"}, 0x7, "L", 0, 0, nullptr, nullptr},
        {5, {"storeFlag", "NoExtension"}, 0x4, nullptr, 0, 0, nullptr, nullptr},
        {6, {"storeFlag", "fullpath", "store", "S"}, 0, "S", 0, 0, nullptr, nullptr},
        {7, {"SetInfected", "TRUE"}, 0, nullptr, 1, 0, nullptr, nullptr},
        {8, {"SetInfected", "yes"}, 0, nullptr, 0, 0, nullptr, nullptr},
        {9, {"length", "1A0"}, 0, nullptr, 0, 0x1A0, nullptr, nullptr},
        {10, {"length", "x1"}, 0, nullptr, 0, 0, nullptr, nullptr},
        {11, {"length", "123456789"}, 0, nullptr, 0, 0x12345678, nullptr, nullptr},
        {12, {"destination", "windows\\x"}, 0, nullptr, 0, 0, "C:\\WINDOWS\\x", nullptr},
        {13, {"destination", "D:\\q"}, 0, nullptr, 0, 0, "D:\\q", nullptr},
        {14, {"destination", longPath.c_str()}, 0, nullptr, 0, 0, nullptr, nullptr},
        {15, {"dll", "C:\\dir\\evil.dll"}, 0, nullptr, 0, 0, nullptr, "C:\\dir\\evil.dll"},
        {16, {"dll", "%DLL"}, 0, nullptr, 0, 0, nullptr, "evil.dll"},
        {17, {"Colour", "red", "os", "WINNT", "Store", "s"}, 0, nullptr, 0, 0, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        FreeStores();
        AddToStore("%DLL", "C:\\WINDOWS\\evil.dll", 0);
        Group group(DISK_FILE);
        Start(&group, row.attributes);
        const ActionRecord* a = group.file->action;
        ASSERT_NE(nullptr, a) << "row " << row.line;
        EXPECT_EQ(row.storeFlags, a->storeFlags) << "row " << row.line;
        EXPECT_STREQ(row.storeName, a->storeName) << "row " << row.line;
        EXPECT_EQ(row.setInfected, a->setInfected) << "row " << row.line;
        EXPECT_EQ(row.length, a->length) << "row " << row.line;
        EXPECT_STREQ(row.destination, a->destination) << "row " << row.line;
        EXPECT_STREQ(row.library, a->library ? a->library->name : nullptr) << "row " << row.line;
        EXPECT_EQ(nullptr, a->keyword) << "row " << row.line;
        EXPECT_TRUE(a->start.origin == 0 && a->start.offset == 0 && a->end.origin == 2 && a->end.offset == 0)
            << "row " << row.line;
    }
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(Action, AttachesToTheCurrentRecord) {
    struct Row {
        int line;
        GroupKind kind;
        bool attached;
    } rows[] = {
        {1, DISK_FILE, true},   {2, MEMORY_PROCESS, true}, {3, REGISTRY_KEY, true}, {4, REGISTRY_VALUE, true},
        {5, DISK_EMPTY, false}, {6, NO_GROUP, false},      {7, INIFILE, false},
    };
    for (const Row& row : rows) {
        g_errors.clear();
        Group group(row.kind);
        Start(&group, {"dll", "x.dll", "confirm", "q"});  // released whole when not attached
        ActionRecord** slot = group.Expected();
        EXPECT_EQ(row.attached, slot && *slot) << "row " << row.line;
        EXPECT_EQ(row.attached ? std::vector<int>{} : std::vector<int>{DATA_ERROR_ELEMENT}, g_errors)
            << "row " << row.line;
        if (row.kind == REGISTRY_VALUE) EXPECT_EQ(nullptr, group.key->action) << "after a VALUE, not the KEY's";
        if (row.kind == DISK_FILE) EXPECT_EQ(nullptr, group.file->next->action) << "not an older FILE's";
    }
}

TEST_F(Action, SecondActionReplacesTheFirst) {
    Group group(DISK_FILE);
    Start(&group, {"store", "first", "dll", "a.dll"});
    Start(&group, {"message", "second"});
    EXPECT_EQ(nullptr, group.file->action->storeName);
    EXPECT_STREQ("second", group.file->action->message);
}

// A table of every element CollectElementText serves, and one it does not.
const ElementEntry kTextElements[] = {
    {"HELP", nullptr, nullptr, CollectElementText, nullptr},
    {"DIRECTORY", nullptr, nullptr, CollectElementText, nullptr},
    {"EXECUTE", nullptr, nullptr, CollectElementText, nullptr},
    {"UNREGDLL", nullptr, nullptr, CollectElementText, nullptr},
    {"SERVICE", nullptr, nullptr, CollectElementText, nullptr},
    {"DEFAULT", nullptr, nullptr, CollectElementText, nullptr},
    {"VIRUSVALUE", nullptr, nullptr, CollectElementText, nullptr},
    {"ACTION", nullptr, OnActionStart, CollectElementText, nullptr},
    {"FILE", nullptr, nullptr, CollectElementText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void Collect(Group* group, const char* element, const std::vector<std::string>& pieces) {
    ParseContext* c = &group->context;
    c->stack[0].children = kTextElements;
    c->depth = 1;
    for (int i = 0; kTextElements[i].name; ++i)
        if (std::string(kTextElements[i].name) == element) c->stack[1].index = i;
    for (const std::string& p : pieces) CollectElementText(c, p.data(), static_cast<int>(p.size()));
}

typedef char* (*TextOf)(Group&);
char* Help(Group& g) { return g.context.helpText; }
char* Command(Group& g) { return g.context.commandText; }
char* Service(Group& g) { return g.context.serviceText; }
char* Directory(Group&) { return g_directories[g_directoryCount]; }
ValueRecord* Value(Group& g) { return g.key ? g.key->values : nullptr; }
char* Default(Group& g) { return Value(g) ? Value(g)->defaultText : nullptr; }
char* Virus(Group& g) { return Value(g) && Value(g)->virusValues ? Value(g)->virusValues->text : nullptr; }
char* Keyword(Group& g) { return g.Expected() ? (*g.Expected())->keyword : nullptr; }
char* Nothing(Group&) { return nullptr; }

TEST_F(Action, TextSlots) {
    struct Row {
        int line;
        const char* element;
        GroupKind kind;
        uint32_t extraFlags;
        int directories;
        TextOf text;
        bool slot;
    } rows[] = {
        {1, "HELP", NO_GROUP, 0, 0, Help, true},
        {2, "DIRECTORY", DISK_EMPTY, 0, 2, Directory, true},
        {3, "DIRECTORY", DISK_EMPTY, 0, MAX_DIRECTORIES, Directory, true},  // the spare entry of a full list
        {4, "EXECUTE", NO_GROUP, 0, 0, Command, true},
        {5, "UNREGDLL", NO_GROUP, 0, 0, Command, true},
        {6, "SERVICE", NO_GROUP, 0, 0, Service, true},
        {7, "DEFAULT", REGISTRY_VALUE, 0, 0, Default, true},
        {8, "DEFAULT", REGISTRY_VALUE, RUN_IN_INIFILE, 0, Default, true},
        {9, "DEFAULT", REGISTRY_KEY, 0, 0, Nothing, false},
        {10, "DEFAULT", INIFILE, 0, 0, Nothing, false},  // no INI key record yet
        {11, "DEFAULT", NO_GROUP, 0, 0, Nothing, false},
        {12, "VIRUSVALUE", REGISTRY_VIRUS, 0, 0, Virus, true},
        {13, "VIRUSVALUE", REGISTRY_VALUE, 0, 0, Nothing, false},
        {14, "VIRUSVALUE", INIFILE, 0, 0, Nothing, false},
        {15, "ACTION", DISK_FILE, 0, 0, Keyword, true},
        {16, "ACTION", MEMORY_PROCESS, 0, 0, Keyword, true},
        {17, "ACTION", REGISTRY_KEY, 0, 0, Keyword, true},
        {18, "ACTION", REGISTRY_VALUE, 0, 0, Keyword, true},
        {19, "ACTION", DISK_EMPTY, 0, 0, Nothing, false},
        {20, "FILE", DISK_FILE, 0, 0, Nothing, false},
    };
    for (const Row& row : rows) {
        g_errors.clear();
        ClearDirectoryList();
        g_directoryCount = row.directories;
        Group group(row.kind);
        group.context.flags |= row.extraFlags;
        if (group.Expected()) *group.Expected() = NewActionRecord();
        Collect(&group, row.element, {"C:\\a", "b"});
        EXPECT_STREQ(row.slot ? "C:\\ab" : nullptr, row.text(group)) << "row " << row.line;
        // The observer lets the pass go on, so each piece reports.
        EXPECT_EQ(std::vector<int>(row.slot ? 0 : 2, DATA_ERROR_ELEMENT), g_errors) << "row " << row.line;
        if (row.kind == REGISTRY_VIRUS) EXPECT_EQ(nullptr, group.key->values->virusValues->next->text);
    }
}

TEST_F(Action, OtherTextsKeepTheirWhiteSpace) {
    Group group(NO_GROUP);
    Collect(&group, "HELP", {" a\r\n", "\tb "});
    EXPECT_STREQ(" a\r\n\tb ", group.context.helpText);
}

TEST_F(Action, KeywordIsOneWord) {
    struct Row {
        int line;
        std::vector<std::string> pieces;
        const char* keyword;
    } rows[] = {
        {1, {"delete"}, "delete"},
        {2, {"delete "}, "delete"},
        {3, {"delete\n"}, "delete"},
        {4, {" delete"}, ""},
        {5, {"\n  delete\n"}, ""},
        {6, {"de", "lete"}, "delete"},
        {7, {"dele", "te mo", "re"}, "delete"},  // later pieces do not join the word
        {8, {"kill\tnow"}, "kill"},
        {9, {"a\rb"}, "a"},
        {10, {"\n", "  delete", "\n"}, ""},
    };
    for (const Row& row : rows) {
        Group group(DISK_FILE);
        group.file->action = NewActionRecord();
        Collect(&group, "ACTION", row.pieces);
        EXPECT_STREQ(row.keyword, group.file->action->keyword) << "row " << row.line;
    }
}

// Only the new piece is looked at for the word's end, so a long word is
// collected at the speed of a short one.
TEST_F(Action, LongKeywordInOneBytePieces) {
    Group group(DISK_FILE);
    group.file->action = NewActionRecord();
    Collect(&group, "ACTION", {});
    const std::string word(16u << 20, 'w');
    for (char c : word) CollectElementText(&group.context, &c, 1);
    CollectElementText(&group.context, " more", 5);
    CollectElementText(&group.context, "w", 1);
    ASSERT_NE(nullptr, group.file->action->keyword);
    EXPECT_TRUE(word == group.file->action->keyword);
}

// Group elements built by hand around the real ACTION handlers, so that the
// document goes through Expat and the real callbacks.
void OpenDisk(ParseContext* c, const char*, const char**) { c->flags |= RUN_IN_DISK; }
void OpenRegistry(ParseContext* c, const char*, const char**) { c->flags |= RUN_IN_REGISTRY; }
void OpenFile(ParseContext* c, const char*, const char**) {
    FileRecord* file = New<FileRecord>();
    file->next = static_cast<FileRecord*>(c->groupRecord);
    c->groupRecord = file;
}
void OpenKey(ParseContext* c, const char*, const char**) {
    KeyRecord* key = New<KeyRecord>();
    key->next = static_cast<KeyRecord*>(c->groupRecord);
    c->groupRecord = key;
}
void OpenValue(ParseContext* c, const char*, const char**) {
    KeyRecord* key = static_cast<KeyRecord*>(c->groupRecord);
    ValueRecord* value = New<ValueRecord>();
    value->next = key->values;
    key->values = value;
}

const ElementEntry kActionRow = {"ACTION", nullptr, OnActionStart, CollectElementText, nullptr};
const ElementEntry kFileChildren[] = {kActionRow, {}};
const ElementEntry kDiskChildren[] = {{"FILE", kFileChildren, OpenFile, nullptr, nullptr}, {}};
const ElementEntry kValueChildren[] = {kActionRow, {}};
const ElementEntry kKeyChildren[] = {{"VALUE", kValueChildren, OpenValue, nullptr, nullptr}, kActionRow, {}};
const ElementEntry kRegistryChildren[] = {{"KEY", kKeyChildren, OpenKey, nullptr, nullptr}, {}};
const ElementEntry kTestRoot[] = {{"DISK", kDiskChildren, OpenDisk, nullptr, nullptr},
                                  {"REGISTRY", kRegistryChildren, OpenRegistry, nullptr, nullptr},
                                  {}};

std::string Describe(const ActionRecord* a) {
    if (!a) return "-";
    return std::string("[") + (a->keyword ? a->keyword : "<none>") + "|" + (a->storeName ? a->storeName : "") + "|" +
           std::to_string(a->storeFlags) + "|" + std::to_string(a->setInfected) + "|" +
           (a->destination ? a->destination : "") + "]";
}

// Parses in pieces of the given size and describes the records, newest first.
std::string ParseInPieces(const std::string& xml, size_t piece) {
    ParseContext c{};
    ResetElementStack(&c);
    c.stack[0].children = kTestRoot;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &c);
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnCharacterData);
    for (size_t at = 0; at < xml.size(); at += piece) {
        size_t n = std::min(piece, xml.size() - at);
        EXPECT_EQ(XML_STATUS_OK, XML_Parse(parser, xml.data() + at, static_cast<int>(n), at + n == xml.size()));
    }
    XML_ParserFree(parser);
    std::string out;
    if (c.flags & RUN_IN_DISK) {
        for (FileRecord* f = static_cast<FileRecord*>(c.groupRecord); f; f = f->next) out += Describe(f->action);
        FreeFileList(static_cast<FileRecord*>(c.groupRecord));
    } else {
        for (KeyRecord* k = static_cast<KeyRecord*>(c.groupRecord); k; k = k->next) {
            out += "K" + Describe(k->action);
            for (ValueRecord* v = k->values; v; v = v->next) out += "V" + Describe(v->action);
        }
        FreeKeyList(static_cast<KeyRecord*>(c.groupRecord));
    }
    return out;
}

// The word ends at the first blank, tab or line break of the whole text,
// wherever the parser cuts it; what follows is dropped.
TEST_F(Action, KeywordIsTheFirstWordAtEveryPieceSize) {
    const std::string longWord(3000, 'w');
    struct Row {
        int line;
        std::string text, word;
    } rows[] = {
        {1, "delete", "delete"},
        {2, "delete now", "delete"},
        {3, "de\tlete", "de"},
        {4, "\ndelete", ""},
        {5, "kill\r\nx", "kill"},
        {6, "a b c", "a"},
        {7, "x&#32;y", "x"},
        {8, "ab<!-- c -->cd ef", "abcd"},
        {9, longWord + " tail", longWord},
    };
    for (const Row& r : rows) {
        for (size_t piece = 1; piece <= 9; ++piece)
            EXPECT_EQ("[" + r.word + "||0|0|]",
                      ParseInPieces("<DISK><FILE><ACTION>" + r.text + "</ACTION></FILE></DISK>", piece))
                << "row " << r.line << ", pieces of " << piece;
    }
}

TEST_F(Action, SameRecordsWhateverThePieceSize) {
    struct Row {
        int line;
        const char* xml;
        const char* records;
    } rows[] = {
        {1,
         "<DISK><FILE><ACTION storeList=\"L\" storeFlag=\"NoExt\">delete</ACTION></FILE>"
         "<FILE><ACTION>copy</ACTION><ACTION destination=\"windows\\x\">move  now&#10;later</ACTION></FILE>"
         "<FILE><ACTION>\r\n  indented\r\n</ACTION></FILE>"
         "<FILE><ACTION SetInfected=\"True\">kill<!-- c -->ed me</ACTION></FILE></DISK>",
         "[killed||0|1|][||0|0|][move||0|0|C:\\WINDOWS\\x][delete|L|5|0|]"},
        {2,
         "<REGISTRY><KEY><ACTION store=\"k\">delete</ACTION><VALUE><ACTION>reset</ACTION></VALUE>"
         "<ACTION store=\"v\">\ndelete</ACTION></KEY><KEY><VALUE/><VALUE><ACTION>reset</ACTION></VALUE></KEY>"
         "</REGISTRY>",
         "K-V[reset||0|0|]V-K[delete|k|0|0|]V[|v|0|0|]"},
    };
    for (const Row& row : rows) {
        std::string xml = row.xml;
        for (size_t piece = 1; piece <= xml.size(); ++piece)
            ASSERT_EQ(row.records, ParseInPieces(xml, piece)) << "row " << row.line << ", pieces of " << piece;
    }
    EXPECT_TRUE(g_errors.empty());
}

}  // namespace
