// Line splitting and the routing of messages to log, second output, list box
// and status line.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "report/line_split.h"
#include "report/message.h"

namespace {

using Lines = std::vector<std::string>;

// ---------------------------------------------------------------- NextLine

struct SplitRow {
    int row;
    const char* text;
    size_t length;  // 0: the whole text
    Lines lines;
    const char* remainder;
};

const SplitRow kSplitRows[] = {
    {1, "", 0, {}, ""},
    {2, "abc", 0, {}, "abc"},
    {3, "abc\r\n", 0, {"abc"}, ""},
    {4, "\r\nabc", 0, {""}, "abc"},
    {5, "a\n\rb", 0, {"a"}, "b"},
    {6, "a\r\n\r\nb", 0, {"a"}, "b"},
    {7, "a\rb\nc", 0, {"a", "b"}, "c"},
    {8, "\n", 0, {""}, ""},
    {9, "\r\n\r\n", 0, {""}, ""},
    {10, "a\r\nb\r\n", 0, {"a", "b"}, ""},
    {11, "  x \t\r\n y", 0, {"  x \t"}, " y"},
    {12, "ab\r\ncd", 2, {}, "ab"},  // a break past the length is not seen
    {13, "ab\r\ncd", 3, {"ab"}, ""},
};

TEST(LineSplit, CutsAtEachRunOfBreaks) {
    for (const SplitRow& r : kSplitRows) {
        size_t length = r.length ? r.length : strlen(r.text);
        size_t pos = 0;
        LineSpan span;
        Lines got;
        while (NextLine(r.text, length, &pos, &span)) {
            ASSERT_LE(span.start + span.length, length) << "row " << r.row;
            got.emplace_back(r.text + span.start, span.length);
        }
        EXPECT_EQ(got, r.lines) << "row " << r.row;
        ASSERT_LE(pos, length) << "row " << r.row;
        EXPECT_EQ(std::string(r.text + pos, length - pos), r.remainder) << "row " << r.row;
    }
}

// ----------------------------------------------------------------- routing

OutHandle const kLog = (OutHandle)0x10;
OutHandle const kSecond = (OutHandle)0x20;
void* const kWindow = (void*)0x30;

struct Recorder {
    std::string log, second;
    Lines list, status;
    std::vector<int> selections;
    int strayCalls = 0;  // writes to unknown handles, calls for other windows
};
Recorder g_rec;

void RecWrite(OutHandle file, const char* bytes, size_t count) {
    if (file == kLog) g_rec.log.append(bytes, count);
    else if (file == kSecond) g_rec.second.append(bytes, count);
    else ++g_rec.strayCalls;
}
// Indices start at 40 so a selection of a count instead of the answer shows.
int RecAdd(void* w, const char* line) {
    if (w != kWindow) ++g_rec.strayCalls;
    g_rec.list.push_back(line);
    return 40 + (int)g_rec.list.size() - 1;
}
void RecSelect(void* w, int index) {
    if (w != kWindow) ++g_rec.strayCalls;
    g_rec.selections.push_back(index);
}
void RecStatus(void* w, const char* line) {
    if (w != kWindow) ++g_rec.strayCalls;
    g_rec.status.push_back(line);
}
void RecControl(void*, int, const char*) { ++g_rec.strayCalls; }

const MessageSinks kRecSinks = {RecWrite, RecAdd, RecSelect, RecStatus, RecControl};

class Routing : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        g_rec = Recorder{};
    }
    void TearDown() override { g_report = saved_; }
    ReportState saved_;
};

enum { LOG = 1, SECOND = 2, WINDOW = 4, ALL = LOG | SECOND | WINDOW };
const uint32_t kOn = SWITCH_DEFAULT_MESSAGES;
const uint32_t kVerbose = SWITCH_DEFAULT_MESSAGES | SWITCH_VERBOSE;

struct RouteRow {
    int row;
    uint32_t level;
    const char* text;
    uint32_t switches;
    int open;  // LOG, SECOND, WINDOW
    const char* log;
    const char* second;
    Lines list;
    Lines status;
    std::vector<int> selections;
};

const char kCouldNot[] = "Could not execute command:\r\n    cmd.exe /c x";

const RouteRow kRouteRows[] = {
    {1, 0x1, "Bad entry", kOn, ALL, "Bad entry", "Bad entry", {"Bad entry"}, {}, {40, -1}},
    {2, 0x2, "Done", kOn, ALL, "Done", "Done", {"Done"}, {}, {40, -1}},
    {3, 0x20, "Careful", kOn, ALL, "Careful", "Careful", {"Careful"}, {}, {40, -1}},
    {4, 0x42, "Hi\r\n", kOn, ALL, "", "Hi\r\n", {"Hi"}, {}, {40, -1}},
    {5, 0x80, "Memory\r\n", kOn, ALL, "", "", {}, {"Memory"}, {}},
    {6, 0x80, "Memory", kOn, ALL, "", "", {}, {}, {}},
    {7, 0x80, "\r\n", kOn, ALL, "", "", {}, {""}, {}},
    {8, 0x101, "a\r\nb", kOn, ALL, "a\r\nb", "a\r\nb", {}, {}, {}},
    {9, 0x102, "a\r\n", kOn, ALL, "a\r\n", "a\r\n", {}, {}, {}},
    {10, 0x202, "x\r\n", kOn, ALL, "x\r\n", "x\r\n", {"x"}, {}, {40, -1}},
    {11, 0x202, "x\r\n", 0, ALL, "", "", {}, {}, {}},
    {12, 0x40000002, "only\r\n", kOn, ALL, "only\r\n", "", {}, {}, {}},
    {13, 0x40000002, "only\r\n", kOn, SECOND | WINDOW, "", "", {}, {}, {}},
    {14, 0x80000002, "v\r\n", kOn, ALL, "", "", {}, {}, {}},
    {15, 0x80000002, "v\r\n", kVerbose, ALL, "v\r\n", "v\r\n", {}, {}, {}},
    {16, 0, "zero\r\n", kVerbose, ALL, "", "", {}, {}, {}},
    {17, 0x202, "\r\nChecking files\r\n", kOn, ALL, "\r\nChecking files\r\n",
     "\r\nChecking files\r\n", {"", "Checking files"}, {}, {41, -1}},
    {18, 0x2, "", kOn, ALL, "", "", {""}, {}, {40, -1}},
    {19, 0x2, "\r\nStopping Spooler", kOn, ALL, "\r\nStopping Spooler", "\r\nStopping Spooler",
     {""}, {}, {40, -1}},
    {20, 0x1, kCouldNot, kOn, ALL, kCouldNot, kCouldNot, {"Could not execute command:"}, {},
     {40, -1}},
    {21, 0x2, "a\r\nb", kOn, LOG | SECOND, "a\r\nb", "a\r\nb", {}, {}, {}},
    {22, 0x82, "Scan\r\nrest", kOn, ALL, "Scan\r\nrest", "Scan\r\nrest", {"Scan"}, {"Scan"},
     {40, -1}},
    {23, 0x2, "a\r\n\r\nb\n\rc\rd\n", kOn, ALL, "a\r\n\r\nb\n\rc\rd\n", "a\r\n\r\nb\n\rc\rd\n",
     {"a", "b", "c", "d"}, {}, {43, -1}},
    {24, 0x80000080, "st\r\n", kOn, ALL, "", "", {}, {"st"}, {}},
    {25, 0x2, "w", kOn, WINDOW, "", "", {"w"}, {}, {40, -1}},
    {26, 0x42, "n", kOn, WINDOW, "", "", {"n"}, {}, {40, -1}},
    {27, 0x40000002, "only", kOn, LOG, "only", "", {}, {}, {}},
    {28, 0x40000040, "none", kOn, ALL, "", "", {}, {}, {}},
    {29, 0x80000102, "v\r\n", kVerbose, ALL, "v\r\n", "v\r\n", {}, {}, {}},
    {30, 0x200, "d", kOn, ALL, "d", "d", {"d"}, {}, {40, -1}},
};

TEST_F(Routing, LevelsReachTheirOutputs) {
    for (const RouteRow& r : kRouteRows) {
        g_rec = Recorder{};
        g_report.sinks = &kRecSinks;
        g_report.switches = r.switches;
        g_report.logFile = (r.open & LOG) ? kLog : nullptr;
        g_report.secondOutput = (r.open & SECOND) ? kSecond : nullptr;
        g_report.mainWindow = (r.open & WINDOW) ? kWindow : nullptr;

        ReportMessage(r.level, "%s", r.text);

        EXPECT_EQ(g_rec.log, r.log) << "row " << r.row;
        EXPECT_EQ(g_rec.second, r.second) << "row " << r.row;
        EXPECT_EQ(g_rec.list, r.list) << "row " << r.row;
        EXPECT_EQ(g_rec.status, r.status) << "row " << r.row;
        EXPECT_EQ(g_rec.selections, r.selections) << "row " << r.row;
        EXPECT_EQ(g_rec.strayCalls, 0) << "row " << r.row;
    }
}

void AllOpen() {
    g_report.sinks = &kRecSinks;
    g_report.switches = kOn;
    g_report.logFile = kLog;
    g_report.secondOutput = kSecond;
    g_report.mainWindow = kWindow;
}

TEST_F(Routing, FormatsArguments) {
    AllOpen();
    ReportMessage(MSG_INFO, "%d files in %s\r\n", 3, "C:\\x");
    EXPECT_EQ(g_rec.log, "3 files in C:\\x\r\n");
    EXPECT_EQ(g_rec.list, Lines{"3 files in C:\\x"});
}

TEST_F(Routing, LongTextIsCutTo1023Bytes) {
    AllOpen();
    std::string big(3000, 'x');
    ReportMessage(MSG_INFO, "%s", big.c_str());
    EXPECT_EQ(g_rec.log, std::string(REPORT_BUFFER_SIZE - 1, 'x'));
    EXPECT_EQ(g_rec.second.size(), (size_t)REPORT_BUFFER_SIZE - 1);
    ASSERT_EQ(g_rec.list.size(), 1u);
    EXPECT_EQ(g_rec.list[0].size(), (size_t)REPORT_BUFFER_SIZE - 1);
}

TEST_F(Routing, BreakCutOffByTheLimitEndsNoLine) {
    AllOpen();
    std::string text(REPORT_BUFFER_SIZE - 1, 'y');
    text += "\r\nz";
    ReportMessage(MSG_INFO, "%s", text.c_str());
    ASSERT_EQ(g_rec.list.size(), 1u);
    EXPECT_EQ(g_rec.list[0], std::string(REPORT_BUFFER_SIZE - 1, 'y'));
}

TEST_F(Routing, MissingSinksAreSkipped) {
    AllOpen();
    g_report.sinks = nullptr;
    ReportMessage(MSG_INFO | MSG_STATUS, "a\r\nb\r\n");  // must not crash

    const MessageSinks partial = {nullptr, RecAdd, nullptr, nullptr, nullptr};
    g_report.sinks = &partial;
    ReportMessage(MSG_INFO | MSG_STATUS, "a\r\nb");
    EXPECT_EQ(g_rec.list, Lines{"a"});
    EXPECT_TRUE(g_rec.log.empty());
    EXPECT_TRUE(g_rec.status.empty());
    EXPECT_TRUE(g_rec.selections.empty());
}

TEST_F(Routing, VerboseSwitchDoesNotEnableDefaultMessages) {
    AllOpen();
    g_report.switches = SWITCH_VERBOSE;
    ReportMessage(MSG_DEFAULT | MSG_INFO, "x");
    ReportMessage(MSG_VERBOSE | MSG_INFO, "v");
    EXPECT_EQ(g_rec.log, "v");
    EXPECT_TRUE(g_rec.list.empty());
}

}  // namespace
