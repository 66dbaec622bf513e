// PATTERN and PATCH elements: attributes, where the record goes, and the byte
// text however the parser splits it.
#include <gtest/gtest.h>

#include <expat.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/run_options.h"
#include "disk/file_record.h"
#include "memory/process_record.h"
#include "report/message.h"
#include "script/action_record.h"
#include "script/dispatch.h"
#include "script/grammar.h"
#include "script/pattern_element.h"

namespace {

std::string g_log;
OutHandle const kLog = reinterpret_cast<OutHandle>(0x100);
void WriteLog(OutHandle file, const char* bytes, size_t count) {
    if (file == kLog) g_log.append(bytes, count);
}
const MessageSinks kSinks = {WriteLog, nullptr, nullptr, nullptr, nullptr};
const char kCorrupt[] = "\r\nCorrupt data\r\n";

std::string Hex(const PatternRecord* r) {
    std::string s;
    char b[4];
    for (uint32_t i = 0; i < r->count; ++i) {
        snprintf(b, sizeof b, i ? " %02X" : "%02X", r->bytes[i]);
        s += b;
    }
    return s;
}

size_t Length(const PatternRecord* list) {
    size_t n = 0;
    for (; list; list = list->next) ++n;
    return n;
}

const PatternRecord* Last(const PatternRecord* list) {
    while (list && list->next) list = list->next;
    return list;
}

const ElementEntry* ChildTable(const ElementEntry* table, const char* name) {
    for (; table->name; ++table)
        if (strcmp(table->name, name) == 0) return table->children;
    return nullptr;
}

// A DISK with one open FILE (or a MEMORY with one PROCESS), as their own
// handlers will leave the context.
class PatternElement : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        savedDataFile_ = g_settings.dataFile;
        g_report = ReportState{kLog, nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_settings.dataFile = nullptr;
        g_log.clear();
        context_ = static_cast<ParseContext*>(calloc(1, sizeof(ParseContext)));
        ResetElementStack(context_);
        file_ = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
        context_->flags = RUN_INITIAL_FLAGS | RUN_WINNT | RUN_IN_DISK;
        context_->groupRecord = file_;
    }
    void TearDown() override {
        FreeFileList(file_);
        FreeProcessList(process_);
        free(context_);
        file_ = nullptr;
        process_ = nullptr;
        context_ = nullptr;
        g_report = saved_;
        g_settings.dataFile = savedDataFile_;
    }
    void UseProcess() {
        process_ = static_cast<ProcessRecord*>(calloc(1, sizeof(ProcessRecord)));
        process_->isProcess = 1;
        context_->flags = (context_->flags & ~RUN_IN_DISK) | RUN_IN_MEMORY;
        context_->groupRecord = process_;
    }
    void Start(std::vector<const char*> attributes = {}) {
        attributes.push_back(nullptr);
        OnPatternStart(context_, "PATTERN", attributes.data());
    }
    void Text(const std::string& piece) { OnPatternText(context_, piece.data(), static_cast<int>(piece.size())); }
    bool Skipping() const { return (context_->flags & RUN_SKIP) != 0; }

    // Feeds a document through Expat and the real callbacks, with the element
    // stack standing inside the named FILE child (or inside ACTION).
    bool Parse(const std::string& xml, size_t pieceSize, bool insideAction) {
        const ElementEntry* disk = ChildTable(kIdentityTable, "DISK");
        const ElementEntry* target = ChildTable(disk, "FILE");
        context_->depth = 1;
        context_->stack[1].index = 1;
        context_->stack[1].children = insideAction ? ChildTable(target, "ACTION") : target;
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, context_);
        XML_SetElementHandler(parser, OnStartElement, OnEndElement);
        XML_SetCharacterDataHandler(parser, OnCharacterData);
        bool ok = true;
        for (size_t at = 0; ok && at < xml.size(); at += pieceSize) {
            size_t n = std::min(pieceSize, xml.size() - at);
            ok = XML_Parse(parser, xml.data() + at, static_cast<int>(n), at + n == xml.size()) == XML_STATUS_OK;
        }
        XML_ParserFree(parser);
        return ok;
    }

    ReportState saved_;
    const char* savedDataFile_;
    ParseContext* context_ = nullptr;
    FileRecord* file_ = nullptr;
    ProcessRecord* process_ = nullptr;
};

TEST_F(PatternElement, AttributeRows) {
    struct Row {
        int line;
        std::vector<const char*> attributes;
        bool error;  // the record is dropped and the run skips
        int32_t offset;
        int32_t origin;
        int32_t forwards;
        uint32_t length;
    } rows[] = {
        {1, {"offset", "10"}, false, 0x10, 0, 0, PATTERN_NO_LIMIT},
        {2, {"offset", "-10"}, false, -0x10, 0, 0, PATTERN_NO_LIMIT},
        {3, {"offset", "-"}, false, 0, 0, 0, PATTERN_NO_LIMIT},
        {4, {"offset", ""}, false, 0, 0, 0, PATTERN_NO_LIMIT},
        {5, {"offset", "x1"}, true, 0, 0, 0, 0},
        {6, {"offset", "-x1"}, true, 0, 0, 0, 0},
        {7, {"offset", "--1"}, true, 0, 0, 0, 0},
        {8, {"offset", "FFFFFFFF"}, false, -1, 0, 0, PATTERN_NO_LIMIT},
        {9, {"offset", "-80000000"}, false, INT32_MIN, 0, 0, PATTERN_NO_LIMIT},
        {10, {"offset", "123456789"}, false, 0x12345678, 0, 0, PATTERN_NO_LIMIT},
        {11, {"offset", "1Fz"}, false, 0x1F, 0, 0, PATTERN_NO_LIMIT},
        {12, {"origin", "ep"}, false, 0, ORIGIN_ENTRY_POINT, 0, PATTERN_NO_LIMIT},
        {13, {"origin", "end"}, false, 0, ORIGIN_END, 0, PATTERN_NO_LIMIT},
        {14, {"origin", "stack"}, false, 0, ORIGIN_STACK, 0, PATTERN_NO_LIMIT},
        {15, {"origin", "EP"}, false, 0, ORIGIN_START, 0, PATTERN_NO_LIMIT},
        {16, {"origin", "pattern1"}, false, 0, 17, 0, PATTERN_NO_LIMIT},
        {17, {"origin", "Pattern1"}, false, 0, ORIGIN_START, 0, PATTERN_NO_LIMIT},
        {18, {"origin", "pattern"}, false, 0, 16, 0, PATTERN_NO_LIMIT},
        {19, {"origin", "patternX"}, false, 0, ORIGIN_START, 0, PATTERN_NO_LIMIT},
        {20, {"origin", "patternA"}, false, 0, 16 + 0xA, 0, PATTERN_NO_LIMIT},
        {21, {"origin", "patternFFFF"}, false, 0, 16 + 0xFFFF, 0, PATTERN_NO_LIMIT},
        {22, {"origin", "pattern12345"}, false, 0, 16 + 0x1234, 0, PATTERN_NO_LIMIT},
        {23, {"origin", "start"}, false, 0, ORIGIN_START, 0, PATTERN_NO_LIMIT},
        {24, {"type", "forwards"}, false, 0, 0, 1, PATTERN_NO_LIMIT},
        {25, {"type", "backwards"}, false, 0, 0, 0, PATTERN_NO_LIMIT},
        {26, {"type", "Forwards"}, false, 0, 0, 0, PATTERN_NO_LIMIT},
        {27, {"length", ""}, false, 0, 0, 0, 0},
        {28, {"length", "400"}, false, 0, 0, 0, 0x400},
        {29, {"length", "z"}, true, 0, 0, 0, 0},
        {30, {"size", "10"}, true, 0, 0, 0, 0},
        {31, {"Offset", "10"}, true, 0, 0, 0, 0},
        {32, {"Infected", "true"}, true, 0, 0, 0, 0},
        {33, {"os", "WINNT"}, false, 0, 0, 0, PATTERN_NO_LIMIT},
        {34, {"offset", "-4", "origin", "end", "type", "forwards", "length", "20"}, false, -4, ORIGIN_END, 1, 0x20},
        {35, {"offset", "4", "size", "1"}, true, 0, 0, 0, 0},
        {36, {"function", "f", "offset", "x"}, true, 0, 0, 0, 0},
        {37, {}, false, 0, 0, 0, PATTERN_NO_LIMIT},
    };
    for (Row& row : rows) {
        TearDown();
        SetUp();
        Start(row.attributes);
        if (row.error) {
            EXPECT_EQ(nullptr, file_->patterns) << "row " << row.line;
            EXPECT_TRUE(Skipping()) << "row " << row.line;
            EXPECT_EQ(kCorrupt, g_log) << "row " << row.line;
            continue;
        }
        ASSERT_EQ(1u, Length(file_->patterns)) << "row " << row.line;
        const PatternRecord* r = file_->patterns;
        EXPECT_EQ(row.offset, r->offset) << "row " << row.line;
        EXPECT_EQ(row.origin, r->origin) << "row " << row.line;
        EXPECT_EQ(row.forwards, r->forwards) << "row " << row.line;
        EXPECT_EQ(row.length, r->length) << "row " << row.line;
        EXPECT_EQ(PATTERN_NOT_FOUND, r->found) << "row " << row.line;
        EXPECT_EQ(0u, r->count) << "row " << row.line;
        EXPECT_FALSE(Skipping()) << "row " << row.line;
        EXPECT_EQ("", g_log) << "row " << row.line;
    }
}

TEST_F(PatternElement, FunctionAndLibraryAreCopiedLiterally) {
    const char function[] = "GetProcAddress";
    const char dll[] = "system\\%name%.dll";
    Start({"function", function, "dll", dll});
    ASSERT_NE(nullptr, file_->patterns);
    EXPECT_STREQ(function, file_->patterns->function);
    EXPECT_STREQ(dll, file_->patterns->dll);
    EXPECT_NE(function, file_->patterns->function);
}

// Placement: the current record of the open group, and its ACTION once it
// has one, whatever the element is called.
TEST_F(PatternElement, PlacementRows) {
    struct Row {
        int line;
        bool memory;
        bool action;
        bool patches;  // expected in the action's patches, else in patterns
    } rows[] = {
        {1, false, false, false},
        {2, false, true, true},
        {3, true, false, false},
        {4, true, true, true},
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        if (row.memory) UseProcess();
        ActionRecord** action = row.memory ? &process_->action : &file_->action;
        PatternRecord** patterns = row.memory ? &process_->patterns : &file_->patterns;
        if (row.action) *action = NewActionRecord();
        Start({"offset", "1"});
        Text("41");
        Start({"offset", "2"});
        Text("42");
        PatternRecord* list = row.patches ? (*action)->patches : *patterns;
        ASSERT_EQ(2u, Length(list)) << "row " << row.line;
        EXPECT_EQ(1, list->offset) << "row " << row.line;
        EXPECT_EQ("41", Hex(list)) << "row " << row.line;
        EXPECT_EQ(2, list->next->offset) << "row " << row.line;
        EXPECT_EQ("42", Hex(list->next)) << "row " << row.line;
        if (row.patches) EXPECT_EQ(nullptr, *patterns) << "row " << row.line;
    }
}

TEST_F(PatternElement, NoCurrentRecordIsAnErrorBeforeAnyRecord) {
    struct Row {
        int line;
        uint32_t flags;
        bool record;
    } rows[] = {
        {1, 0, true},
        {2, RUN_IN_REGISTRY, true},
        {3, RUN_IN_DISK, false},
        {4, RUN_IN_MEMORY, false},
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        context_->flags = RUN_WINNT | row.flags;
        if (!row.record) context_->groupRecord = nullptr;
        Start({"offset", "1"});
        Text("41");
        EXPECT_TRUE(Skipping()) << "row " << row.line;
        EXPECT_EQ(kCorrupt, g_log) << "row " << row.line;
        EXPECT_EQ(nullptr, file_->patterns) << "row " << row.line;
    }
}

TEST_F(PatternElement, ActionThenPatternThroughTheParser) {
    // FILE: PATTERN, then ACTION (whose handler hangs it on the record), then
    // a PATTERN that therefore becomes a patch.
    ASSERT_TRUE(Parse("<PATTERN offset=\"1\">41</PATTERN>", 5, false));
    file_->action = NewActionRecord();
    ASSERT_TRUE(Parse("<PATTERN offset=\"2\">42 43</PATTERN>", 3, false));
    ASSERT_TRUE(Parse("<PATCH offset=\"3\" function=\"f\" dll=\"d\"/>", 7, true));
    ASSERT_EQ(1u, Length(file_->patterns));
    EXPECT_EQ("41", Hex(file_->patterns));
    const PatternRecord* patches = file_->action->patches;
    ASSERT_EQ(2u, Length(patches));
    EXPECT_EQ(2, patches->offset);
    EXPECT_EQ("42 43", Hex(patches));
    EXPECT_EQ(3, patches->next->offset);
    EXPECT_EQ(0u, patches->next->count);
    EXPECT_STREQ("f", patches->next->function);
    EXPECT_FALSE(Skipping());
}

TEST_F(PatternElement, ParserPiecesOfEverySize) {
    const std::string text = "\r\n  4D 5A 90 00\r\n\t03 00 00 00 04 00\r\n";
    for (size_t piece = 1; piece <= 24; ++piece) {
        TearDown();
        SetUp();
        ASSERT_TRUE(Parse("<PATTERN>" + text + "</PATTERN>", piece, false)) << "piece " << piece;
        ASSERT_EQ(1u, Length(file_->patterns)) << "piece " << piece;
        EXPECT_EQ("4D 5A 90 00 03 00 00 00 04 00", Hex(file_->patterns)) << "piece " << piece;
    }
}

// Byte text given as whole pieces.
TEST_F(PatternElement, ByteTextRows) {
    struct Row {
        int line;
        std::vector<std::string> pieces;
        const char* bytes;
        bool error;
    } rows[] = {
        {1, {"E8 00 00 00 00"}, "E8 00 00 00 00", false},
        {2, {"E80000000058"}, "E8 00 00 00 00 58", false},
        {3, {"E8 0 00"}, "E8 00 00", false},
        {4, {"E8 G0"}, "E8", true},
        {5, {"\r\n\tE8\r\n 41 \n"}, "E8 41", false},
        {6, {"e8Ff"}, "E8 FF", false},
        {7, {"0G 41"}, "00 41", false},
        {8, {""}, "", false},
        {9, {"E"}, "", false},
        {10, {"ZZ 41"}, "", true},
        {11, {"E8 0", "\n00"}, "E8 00", false},
        {12, {"E8 0", "0 00"}, "E8 00 00", false},
        {13, {"E8 G", "0"}, "E8", true},
        {14, {"E8 G", " 41"}, "E8 41", false},
        {15, {"41", "", "42"}, "41 42", false},
        {16, {"4", "", "1"}, "41", false},
        {17, {"41", " 42 G0 43"}, "41 42", true},
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        Start();
        for (const std::string& piece : row.pieces) Text(piece);
        ASSERT_NE(nullptr, file_->patterns) << "row " << row.line;
        EXPECT_EQ(row.bytes, Hex(file_->patterns)) << "row " << row.line;
        EXPECT_EQ(row.error, Skipping()) << "row " << row.line;
    }
}

// The same text cut into pieces of every size, and into two at every point,
// gives the same bytes.
TEST_F(PatternElement, ByteTextSplitAnywhere) {
    const char* texts[] = {
        "E8 00 00 00 00",
        "E80000000058",
        "\r\n  4d 5A\r\n90 00 03\t00\r\n",
        "0102030405060708090a0b0c0d0e0f10 11 12",
    };
    for (const char* text : texts) {
        const std::string whole = text;
        Start();
        Text(whole);
        const std::string expected = Hex(Last(file_->patterns));
        for (size_t size = 1; size <= whole.size(); ++size) {
            Start();
            for (size_t at = 0; at < whole.size(); at += size) Text(whole.substr(at, size));
            EXPECT_EQ(expected, Hex(Last(file_->patterns))) << text << " in pieces of " << size;
        }
        for (size_t cut = 0; cut <= whole.size(); ++cut) {
            Start();
            Text(whole.substr(0, cut));
            Text(whole.substr(cut));
            EXPECT_EQ(expected, Hex(Last(file_->patterns))) << text << " cut at " << cut;
        }
    }
    EXPECT_FALSE(Skipping());
}

TEST_F(PatternElement, CarryEndsWithItsElement) {
    // A lone digit at the end of one element does not join the next
    // element's first character.
    Start();
    Text("41 4");
    Start();
    Text("1 42");
    ASSERT_EQ(2u, Length(file_->patterns));
    EXPECT_EQ("41", Hex(file_->patterns));
    EXPECT_EQ("01 42", Hex(file_->patterns->next));
}

TEST_F(PatternElement, MoreThanTheRecordHoldsIsDropped) {
    struct Row {
        int line;
        size_t bytes;
        size_t pieceSize;
    } rows[] = {
        {1, 1024, 0},
        {2, 1025, 0},
        {3, 1500, 0},
        {4, 1500, 7},
        {5, 1500, 1024},
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        std::string text;
        for (size_t i = 0; i < row.bytes; ++i) {
            char b[4];
            snprintf(b, sizeof b, "%02X ", static_cast<unsigned>(i & 0xFF));
            text += b;
        }
        Start();
        size_t size = row.pieceSize ? row.pieceSize : text.size();
        for (size_t at = 0; at < text.size(); at += size) Text(text.substr(at, size));
        const PatternRecord* r = file_->patterns;
        ASSERT_NE(nullptr, r) << "row " << row.line;
        EXPECT_EQ(static_cast<uint32_t>(PATTERN_MAX_BYTES), r->count) << "row " << row.line;
        for (uint32_t i = 0; i < r->count; ++i)
            ASSERT_EQ(i & 0xFF, r->bytes[i]) << "row " << row.line << " byte " << i;
        EXPECT_EQ(PATTERN_NO_LIMIT, r->length) << "row " << row.line << ": the field after the bytes";
        EXPECT_EQ(nullptr, r->next) << "row " << row.line;
        EXPECT_FALSE(Skipping()) << "row " << row.line;
    }
}

}  // namespace
