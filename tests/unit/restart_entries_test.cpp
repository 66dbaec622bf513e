// The lists Windows works through when it starts: WININIT.INI's [rename]
// lines and the pending operations' pairs, added to and taken back out of
// without disturbing the entries of anyone else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk/restart_entries.h"

namespace {

struct AddRow {
    int row;
    const char* before;
    const char* after;
};

const AddRow kAdds[] = {
    {1, "", "[rename]\r\nNUL=C:\\X.DLL\r\n"},
    {2, "[rename]\r\nNUL=C:\\A.TMP\r\n", "[rename]\r\nNUL=C:\\A.TMP\r\nNUL=C:\\X.DLL\r\n"},  // same name kept
    {3, "[Rename]\r\nNUL=C:\\A.TMP\r\n\r\n[other]\r\nk=v\r\n",
     "[Rename]\r\nNUL=C:\\A.TMP\r\nNUL=C:\\X.DLL\r\n\r\n[other]\r\nk=v\r\n"},
    {4, "[other]\r\nk=v", "[other]\r\nk=v\r\n[rename]\r\nNUL=C:\\X.DLL\r\n"},
    {5, "[rename]\r\nNUL=C:\\A.TMP", "[rename]\r\nNUL=C:\\A.TMP\r\nNUL=C:\\X.DLL\r\n"},  // last line without its end
};

TEST(RenameLines, AddedAtTheEndOfTheSection) {
    for (const AddRow& r : kAdds) EXPECT_EQ(r.after, WithRenameLine(r.before, "NUL=C:\\X.DLL")) << "row " << r.row;
}

struct TakeRow {
    int row;
    const char* before;
    const char* line;
    bool found;
    const char* after;
};

const TakeRow kTakes[] = {
    {1, "[rename]\r\nNUL=C:\\A.TMP\r\nNUL=C:\\X.DLL\r\n", "NUL=C:\\X.DLL", true, "[rename]\r\nNUL=C:\\A.TMP\r\n"},
    {2, "[rename]\r\nnul=c:\\x.dll  \r\n", "NUL=C:\\X.DLL", true, "[rename]\r\n"},
    // the last of two equal lines goes, one at a time
    {3, "[rename]\r\nNUL=C:\\X.DLL\r\nNUL=C:\\X.DLL\r\n", "NUL=C:\\X.DLL", true, "[rename]\r\nNUL=C:\\X.DLL\r\n"},
    {4, "[rename]\r\nNUL=C:\\A.TMP\r\n[x]\r\nNUL=C:\\X.DLL\r\n", "NUL=C:\\X.DLL", false,
     "[rename]\r\nNUL=C:\\A.TMP\r\n[x]\r\nNUL=C:\\X.DLL\r\n"},
};

TEST(RenameLines, TakenOutOfTheSectionOnly) {
    for (const TakeRow& r : kTakes) {
        std::string text = r.before;
        EXPECT_EQ(r.found, TakeOutRenameLine(&text, r.line)) << "row " << r.row;
        EXPECT_EQ(r.after, text) << "row " << r.row;
    }
}

// Pairs written as text with '|' for each 0.
std::vector<uint16_t> Value(const std::string& text) {
    std::vector<uint16_t> value;
    for (char c : text) value.push_back(c == '|' ? 0 : static_cast<uint16_t>(static_cast<unsigned char>(c)));
    return value;
}
std::string Text(const std::vector<uint16_t>& value) {
    std::string text;
    for (uint16_t c : value) text += c == 0 ? '|' : static_cast<char>(c);
    return text;
}

struct PendingRow {
    int row;
    const char* before;
    const char* source;
    bool move;
    bool found;
    const char* after;
};

const PendingRow kPending[] = {
    {1, "\\??\\C:\\A||\\??\\C:\\X|||", "\\??\\C:\\X", false, true, "\\??\\C:\\A|||"},
    {2, "\\??\\C:\\X|\\??\\C:\\Q\\X||", "\\??\\C:\\X", false, false, "\\??\\C:\\X|\\??\\C:\\Q\\X||"},
    {3, "\\??\\c:\\x|\\??\\C:\\Q\\X||", "\\??\\C:\\X", true, true, "|"},
    {4, "\\??\\C:\\X||\\??\\C:\\X|||", "\\??\\C:\\X", false, true, "\\??\\C:\\X|||"},
    {5, "\\??\\C:\\X|", "\\??\\C:\\X", false, true, ""},  // cut short: the destination's end is missing
};

TEST(PendingOperations, ThePairOfTheEntryGoesAndTheRestStays) {
    for (const PendingRow& r : kPending) {
        std::vector<uint16_t> value = Value(r.before);
        EXPECT_EQ(r.found, TakeOutPendingOperation(&value, Value(r.source), r.move)) << "row " << r.row;
        EXPECT_EQ(r.after, Text(value)) << "row " << r.row;
    }
    EXPECT_TRUE(NoPendingOperations(Value("|")));
    EXPECT_TRUE(NoPendingOperations(Value("")));
    EXPECT_FALSE(NoPendingOperations(Value("\\??\\C:\\A|||")));
}

}  // namespace
