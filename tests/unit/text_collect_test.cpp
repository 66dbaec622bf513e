// Collecting element text: however the parser splits it, the result is the
// old text followed by the new characters, and a long text costs time in
// proportion to its length (a slow collector hangs these tests).
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "disk/directory_list.h"
#include "script/data_error.h"
#include "script/text_util.h"
#include "script_harness.h"
#include "tools/dat/check.h"

namespace {

const size_t kSixteenMegabytes = 16u << 20;

// Printable text with line breaks and tabs, no two stretches alike.
std::string SampleText(size_t size) {
    std::string text(size, 0);
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        char c = static_cast<char>('a' + (state >> 16) % 26);
        if (i % 61 == 60) c = '\n';
        if (i % 97 == 96) c = '\t';
        text[i] = c;
    }
    return text;
}

std::string Collect(const std::string& whole, size_t piece, bool withTail) {
    char* slot = nullptr;
    TextTail tail = {};
    for (size_t at = 0; at < whole.size(); at += piece) {
        size_t n = std::min(piece, whole.size() - at);
        EXPECT_TRUE(AppendText(&slot, whole.data() + at, n, withTail ? &tail : nullptr));
    }
    std::string out = slot ? slot : "<none>";
    if (withTail) {
        EXPECT_EQ(slot, tail.text);
        EXPECT_EQ(whole.size(), tail.length);
        EXPECT_GT(tail.capacity, tail.length);
    }
    free(slot);
    return out;
}

TEST(CollectText, SixteenMegabytesInOneAndKilobytePiecesEqualOneCopy) {
    const std::string whole = SampleText(kSixteenMegabytes);
    for (size_t piece : {size_t(1), size_t(1024), whole.size()}) {
        std::string got = Collect(whole, piece, true);
        EXPECT_EQ(whole.size(), got.size()) << "pieces of " << piece;
        EXPECT_TRUE(got == whole) << "pieces of " << piece;
    }
}

TEST(CollectText, AppendCases) {
    struct Row {
        int line;
        const char* before;  // null: empty slot
        std::string piece;
        const char* after;
    } rows[] = {
        {1, nullptr, "", ""},  // an empty piece still makes a text
        {2, nullptr, "abc", "abc"},
        {3, "abc", "", "abc"},
        {4, "abc", "def", "abcdef"},
        {5, "abc", std::string("d\0ef", 4), "abcd"},  // a text ends at its first zero
        {6, nullptr, std::string("\0x", 2), ""},
        {7, "", " \r\n\t", " \r\n\t"},
    };
    for (const Row& r : rows) {
        for (bool withTail : {false, true}) {
            char* slot = r.before ? CopyText(r.before, strlen(r.before)) : nullptr;
            TextTail tail = {};
            ASSERT_TRUE(AppendText(&slot, r.piece.data(), r.piece.size(), withTail ? &tail : nullptr))
                << "row " << r.line;
            EXPECT_STREQ(r.after, slot) << "row " << r.line;
            if (withTail) EXPECT_EQ(strlen(r.after), tail.length) << "row " << r.line;
            // Further pieces go after the whole text, however the slot came to be.
            ASSERT_TRUE(AppendText(&slot, "z", 1, withTail ? &tail : nullptr)) << "row " << r.line;
            EXPECT_EQ(std::string(r.after) + "z", slot) << "row " << r.line;
            free(slot);
        }
    }
}

// A tail describes one text: a slot whose text was replaced, or cut, is
// measured again rather than trusted.
TEST(CollectText, TailOfAnotherTextIsNotTrusted) {
    char* slot = nullptr;
    TextTail tail = {};
    ASSERT_TRUE(AppendText(&slot, "first text", 10, &tail));
    char* other = CopyText("xy", 2);
    free(slot);
    slot = other;
    ASSERT_TRUE(AppendText(&slot, "z", 1, &tail));
    EXPECT_STREQ("xyz", slot);
    EXPECT_EQ(3u, tail.length);

    CutText(slot, 1, &tail);
    ASSERT_TRUE(AppendText(&slot, "w", 1, &tail));
    EXPECT_STREQ("xw", slot);
    free(slot);
}

// ------------------------------------------------- through the parser

std::string Repeat(const std::string& unit, size_t count) {
    std::string s;
    s.reserve(unit.size() * count);
    for (size_t i = 0; i < count; ++i) s += unit;
    return s;
}

TEST(CollectText, SixteenMegabytePrintAndHelpThroughTheParser) {
    // Short lines: the parser hands each line over as its own piece.
    const std::string text = Repeat("0123456789abcde\n", kSixteenMegabytes / 16);
    ScriptRun run = RunScript("<CLEANER DataFile=\"x\"><HELP>" + text + "</HELP><IDENTITY><PRINT>" + text +
                                  "</PRINT></IDENTITY></CLEANER>",
                              RUN_WINNT, 1024);
    EXPECT_EQ(1, run.parseStatus);
    ASSERT_EQ(1u, run.record.notices.size());
    EXPECT_TRUE(run.record.notices[0] == text);
}

// Ten entities, each ten of the one before: a 575-byte document whose PRINT
// text would be three billion characters.
std::string BillionLaughs() {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE CLEANER [\n <!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= 9; ++i) {
        xml += " <!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) xml += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        xml += "\">\n";
    }
    return xml + "]>\n<CLEANER DataFile=\"x\"><PRINT>&lol9;</PRINT><IDENTITY/></CLEANER>\n";
}

// The parser's own limit on entity expansion ends the document, once the
// text collected so far (several megabytes in three-character pieces) has
// been gathered quickly.
TEST(CollectText, EntityBombIsRejectedByTheParser) {
    const std::string xml = BillionLaughs();
    ScriptRun run = RunScript(xml, RUN_WINNT, 1024);
    EXPECT_EQ(0, run.parseStatus);
    EXPECT_TRUE(run.record.notices.empty());

    std::vector<CheckFinding> findings = CheckScript(std::vector<uint8_t>(xml.begin(), xml.end()));
    ASSERT_FALSE(findings.empty());
    EXPECT_EQ("not well-formed XML: limit on input amplification factor (from DTD and entities) breached",
              findings.back().message);
}

}  // namespace
