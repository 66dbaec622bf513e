// The element callbacks: routing through the grammar, skip mode, the generic
// attributes, and the CLEANER, IDENTITY, PRINT and LOG elements.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/run_options.h"
#include "report/message.h"
#include "script/identity.h"
#include "script/settings.h"
#include "script_harness.h"

static const char kCorrupt[] = "\r\nCorrupt data\r\n";

static bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(Cleaner, ScanRunWritesTheIdentityLinesToTheLogOnly) {
    ScriptRun r = RunScript("<CLEANER DataFile=\"Foo\" Version=\"3\"/>");
    EXPECT_EQ("\r\nSystem disinfection for Foo \r\n\r\nData Version 3\r\n", r.record.log);
    EXPECT_EQ("", r.record.second);
    EXPECT_TRUE(r.record.list.empty());
    EXPECT_STREQ("Foo", g_threatName);
    EXPECT_STREQ("3", g_dataVersion);
}

TEST(Cleaner, HeaderPassWritesTheIdentityLinesToTheList) {
    ScriptRun r = RunHeader("<CLEANER DataFile=\"Foo\" Variants=\"A,B\"><IDENTITY/></CLEANER>");
    std::vector<std::string> expected = {"", "System disinfection for Foo ", "",
                                         "View Help About for a list of supported variants"};
    EXPECT_EQ(expected, r.record.list);
    EXPECT_EQ("", r.record.log);
}

TEST(Cleaner, IdentityLineWording) {
    struct Row {
        int line;
        const char* attributes;
        const char* log;
        int type;
    } rows[] = {
        {1, "DataFile=\"x.dat\" Version=\"7\"", "\r\nx.dat Version 7\r\n", THREAT_VIRUS},
        {2, "DataFile=\"x.dat\"", "\r\nx.dat Version \r\n", THREAT_VIRUS},
        {3, "DataFile=\"Ad\" Type=\"APPLICATION\"", "\r\nApplication removal for Ad \r\n", THREAT_APPLICATION},
        {4, "DataFile=\"W\" Type=\"worm\" Version=\"\"", "\r\nSystem disinfection for W \r\n", THREAT_WORM},
        {5, "DataFile=\"T\" Type=\"Trojan\"", "\r\nSystem disinfection for T \r\n", THREAT_TROJAN},
        {6, "DataFile=\"B\" Type=\"Bogus\"", "\r\nSystem disinfection for B \r\n", THREAT_VIRUS},
        {7, "DataFile=\"B\" Type=\"Worm\" Type=\"Bogus\"", nullptr, 0},  // duplicate attributes: not XML
        {8, "", "\r\nNo data file was specified\r\n", THREAT_VIRUS},
        {9, "DataFile=\"\" Copyright=\"c\" dll=\"d\" os=\"ANY\"", "\r\nNo data file was specified\r\n", THREAT_VIRUS},
    };
    for (const Row& row : rows) {
        ScriptRun r = RunScript(std::string("<CLEANER ") + row.attributes + "/>");
        if (!row.log) {
            EXPECT_EQ(0, r.parseStatus) << "row " << row.line;
            continue;
        }
        EXPECT_EQ(row.log, r.record.log) << "row " << row.line;
        EXPECT_EQ(row.type, r.context.threatType) << "row " << row.line;
        EXPECT_EQ(row.type, g_threatType) << "row " << row.line;
    }
}

TEST(Cleaner, UnknownAttributeReportsAfterTheIdentityLines) {
    ScriptRun r = RunScript("<CLEANER DataFile=\"Foo\" Colour=\"red\" Type=\"Worm\"><IDENTITY/></CLEANER>");
    EXPECT_EQ("\r\nSystem disinfection for Foo \r\n" + std::string(kCorrupt), r.record.log);
    EXPECT_TRUE(r.context.flags & RUN_SKIP);
    EXPECT_EQ(THREAT_VIRUS, r.context.threatType) << "attributes after the bad one are not read";
}

TEST(Cleaner, VariantsSplitAtEveryComma) {
    RunScript("<CLEANER DataFile=\"V\" Variants=\"a,,b,\"/>");
    ASSERT_NE(nullptr, g_variants[3]);
    EXPECT_STREQ("a", g_variants[0]);
    EXPECT_STREQ("", g_variants[1]);
    EXPECT_STREQ("b", g_variants[2]);
    EXPECT_STREQ("", g_variants[3]);
    EXPECT_EQ(nullptr, g_variants[4]);
}

TEST(Cleaner, LongNamesAreCutToTheirBuffers) {
    std::string name(2000, 'n');
    RunScript("<CLEANER DataFile=\"" + name + "\" Version=\"" + name + "\"/>");
    EXPECT_EQ(std::string(THREAT_NAME_SIZE - 1, 'n'), g_threatName);
    EXPECT_EQ(std::string(DATA_VERSION_SIZE - 1, 'n'), g_dataVersion);
}

TEST(Cleaner, UsageGoesToTheSecondOutputOnlyWhenThereIsOne) {
    g_settings.secondOutput = nullptr;
    ScriptRun plain = RunScript("<CLEANER/>");
    EXPECT_FALSE(Has(plain.record.second, "Usage"));
}

TEST(Identity, FramesTheWorkWithStartAndFinishLines) {
    ScriptRun r = RunScript("<CLEANER DataFile=\"F\"><IDENTITY GenericName=\"G\" os=\"x\"></IDENTITY></CLEANER>");
    size_t start = r.record.log.find("\r\nSystem scan started at ");
    size_t finish = r.record.log.find("\r\nSystem scan finished at ");
    ASSERT_NE(std::string::npos, start);
    ASSERT_NE(std::string::npos, finish);
    EXPECT_LT(start, finish);
    EXPECT_EQ(nullptr, r.context.genericName);
}

TEST(Identity, BadAttributeGivesNoStartOrFinishLine) {
    struct Row {
        int line;
        const char* attributes;
    } rows[] = {{1, "Other=\"1\""}};
    for (const Row& row : rows) {
        ScriptRun r = RunScript(std::string("<CLEANER DataFile=\"F\"><IDENTITY ") + row.attributes + "/></CLEANER>");
        EXPECT_FALSE(Has(r.record.log, "System scan")) << "row " << row.line;
        EXPECT_TRUE(Has(r.record.log, kCorrupt)) << "row " << row.line;
    }
}

TEST(Dispatch, UnknownElementReportsOnceAndStopsAllWork) {
    ScriptRun r = RunScript(
        "<CLEANER DataFile=\"F\"><IDENTITY><DISK><NOPE/></DISK><BOGUS/><LOG>late</LOG></IDENTITY></CLEANER>");
    EXPECT_TRUE(r.context.flags & RUN_SKIP);
    EXPECT_EQ(1u, [&] {
        size_t n = 0;
        for (size_t at = r.record.log.find(kCorrupt); at != std::string::npos; at = r.record.log.find(kCorrupt, at + 1))
            ++n;
        return n;
    }());
    EXPECT_FALSE(Has(r.record.log, "finished")) << r.record.log;
    EXPECT_FALSE(Has(r.record.second, "late"));
}

TEST(Dispatch, ErrorNamesTheExternalDataFile) {
    g_settings.dataFile = nullptr;
    ScriptRun r = RunScript("<CLEANER><WRONG/></CLEANER>");
    EXPECT_TRUE(Has(r.record.second, kCorrupt));
}

TEST(Dispatch, ElementsInsideElementsWithoutChildrenAreIgnored) {
    ScriptRun r = RunScript(
        "<CLEANER DataFile=\"F\"><HELP><X/><Y>text</Y></HELP><IDENTITY><EXECUTE><Z/></EXECUTE></IDENTITY></CLEANER>");
    EXPECT_FALSE(r.context.flags & RUN_SKIP);
    EXPECT_FALSE(Has(r.record.log, kCorrupt));
}

TEST(Dispatch, TooDeepNestingIsAnError) {
    std::string open, close;
    for (int i = 0; i < 300; ++i) {
        open += "<HELP>";
        close += "</HELP>";
    }
    ScriptRun r = RunScript("<CLEANER DataFile=\"F\"><HELP>" + open + close + "</HELP><IDENTITY/></CLEANER>");
    // HELP has no child table, so the deep elements are ignored, but a stack
    // of 256 cannot hold them: the 256th level is an error.
    EXPECT_TRUE(r.context.flags & RUN_SKIP);
    EXPECT_EQ(1, r.parseStatus);
    EXPECT_EQ(0, r.context.depth);
}

TEST(Dispatch, OsAttribute) {
    struct Row {
        int line;
        const char* xml;
        uint32_t platform;
        bool skip;
        bool started;
    } rows[] = {
        {1, "<CLEANER DataFile=\"F\" os=\"WIN9X\"><IDENTITY/></CLEANER>", RUN_WINNT, true, false},
        {2, "<CLEANER DataFile=\"F\" os=\"WIN9X\"><IDENTITY/></CLEANER>", RUN_WIN9X, false, true},
        {3, "<CLEANER DataFile=\"F\"><IDENTITY os=\"WINNT\"/></CLEANER>", RUN_WIN9X, false, false},
        {4, "<CLEANER DataFile=\"F\"><IDENTITY os=\"winnt\"/></CLEANER>", RUN_WIN9X, false, true},
        {5, "<CLEANER DataFile=\"F\"><IDENTITY Other=\"os\"/></CLEANER>", RUN_WIN9X, true, false},
    };
    for (const Row& row : rows) {
        ScriptRun r = RunScript(row.xml, row.platform);
        EXPECT_EQ(row.skip, (r.context.flags & RUN_SKIP) != 0) << "row " << row.line;
        EXPECT_EQ(row.started, Has(r.record.log, "started")) << "row " << row.line;
    }
    ScriptRun excluded = RunScript("<CLEANER DataFile=\"F\" os=\"WIN9X\"/>", RUN_WINNT);
    EXPECT_TRUE(Has(excluded.record.log, "\r\nUnsupported operating system platform!\r\n"));
    EXPECT_FALSE(Has(excluded.record.log, "System disinfection")) << "an excluded CLEANER writes no identity";
}

TEST(Dispatch, InfectedAttributeFollowsTheInfectedFlag) {
    const char* xml = "<CLEANER DataFile=\"F\"><IDENTITY><DISK Infected=\"%s\"><PRINT>in</PRINT></DISK></IDENTITY></CLEANER>";
    struct Row {
        int line;
        const char* value;
        size_t notices;
    } rows[] = {{1, "TRUE", 0}, {2, "true", 0}, {3, "False", 1}, {4, "maybe", 1}};
    for (const Row& row : rows) {
        char text[200];
        snprintf(text, sizeof text, xml, row.value);
        EXPECT_EQ(row.notices, RunScript(text).record.notices.size()) << "row " << row.line;
    }
}

TEST(Dispatch, ConfirmIsAskedOnlyForChildrenOfIdentity) {
    SetPromptAnswers("N");
    ScriptRun no = RunScript("<CLEANER DataFile=\"F\"><IDENTITY><DISK confirm=\"Scan disk?\"><PRINT>in</PRINT></DISK>"
                             "</IDENTITY></CLEANER>");
    EXPECT_EQ(std::vector<std::string>{"Scan disk?"}, no.record.questions);
    EXPECT_TRUE(no.record.notices.empty()) << "a declined element is ignored with its content";

    SetPromptAnswers("Y");
    ScriptRun yes = RunScript("<CLEANER DataFile=\"F\"><IDENTITY><DISK confirm=\"Scan disk?\"><PRINT>in</PRINT></DISK>"
                              "</IDENTITY></CLEANER>");
    EXPECT_EQ(std::vector<std::string>{"in"}, yes.record.notices);

    SetPromptAnswers("");
    ScriptRun off = RunScript("<CLEANER DataFile=\"F\"><IDENTITY confirm=\"Really?\"/></CLEANER>");
    EXPECT_TRUE(off.record.questions.empty()) << "IDENTITY is not a child of IDENTITY";

    // A report-only run asks nothing and goes on as a Yes would.
    SetPromptAnswers("N");
    g_settings.reportOnly = 1;
    ScriptRun reportOnly = RunScript("<CLEANER DataFile=\"F\"><IDENTITY><DISK confirm=\"Scan disk?\"><PRINT>in</PRINT>"
                                     "</DISK></IDENTITY></CLEANER>");
    g_settings.reportOnly = 0;
    EXPECT_TRUE(reportOnly.record.questions.empty());
    EXPECT_EQ(std::vector<std::string>{"in"}, reportOnly.record.notices);
}

TEST(Dispatch, DefaultMessagesOffLastsUntilTheElementEnds) {
    ScriptRun r = RunScript("<CLEANER DataFile=\"F\"><IDENTITY><DISK DefaultMessages=\"OFF\"></DISK></IDENTITY></CLEANER>");
    EXPECT_TRUE(g_report.switches & SWITCH_DEFAULT_MESSAGES);
    ScriptRun open = RunScript("<CLEANER DataFile=\"F\"><IDENTITY><DISK DefaultMessages=\"off\">");
    EXPECT_FALSE(g_report.switches & SWITCH_DEFAULT_MESSAGES);
    g_report.switches |= SWITCH_DEFAULT_MESSAGES;
}

TEST(Messages, PrintAndLogAnywhereEntered) {
    ScriptRun r = RunScript(
        "<CLEANER DataFile=\"F\"><PRINT>Hello &amp; bye</PRINT><IDENTITY><DISK><LOG>50%s done</LOG></DISK>"
        "<EXECUTE><PRINT>hidden</PRINT></EXECUTE><LOG></LOG></IDENTITY></CLEANER>");
    EXPECT_EQ(std::vector<std::string>{"Hello & bye"}, r.record.notices);
    EXPECT_FALSE(Has(r.record.log, "50%s")) << "LOG text is screen text";
    EXPECT_TRUE(Has(r.record.second, "\n50%s done"));
    std::vector<std::string>& list = r.record.list;
    auto at = std::find(list.begin(), list.end(), "50%s done");
    ASSERT_NE(list.end(), at);
    EXPECT_EQ("", *(at - 1));
}

TEST(Messages, TextSplitAcrossPiecesIsJoined) {
    for (size_t piece = 1; piece <= 7; ++piece) {
        ScriptRun r = RunScript("<CLEANER DataFile=\"F\"><PRINT>abc&lt;def</PRINT></CLEANER>", RUN_WINNT, piece);
        EXPECT_EQ(std::vector<std::string>{"abc<def"}, r.record.notices) << "piece size " << piece;
    }
}
