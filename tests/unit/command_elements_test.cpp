// UNREGDLL and EXECUTE without the machine: what reaches the work table
// after store substitution, folder macros and quoting, which texts start
// nothing, the share removal only in a run started with -s, and the
// messages for each outcome; how spliced pieces with blanks are kept in one
// word, and how the program's name is read from a command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/settings.h"
#include "report/folder_macro.h"
#include "report/message.h"
#include "report/prompts.h"
#include "script/cleaning.h"
#include "script/store.h"
#include "system/command_elements.h"
#include "system/command_line.h"
#include "tests/unit/recorded_items.h"
#include "tests/unit/script_harness.h"

namespace {

std::vector<std::string> g_calls;
bool g_workAnswer = true;
// What a failed call leaves as the last error: an HRESULT from the
// library's entry, a system error from starting a command.
const uint32_t kUnregisterError = 0x80004005u;
const uint32_t kRunError = 2;

bool Unregister(const char* path) {
    g_calls.push_back(std::string("unregister ") + path);
    if (!g_workAnswer) g_fakeLastError = kUnregisterError;
    return g_workAnswer;
}
bool Run(const char* line) {
    g_calls.push_back(std::string("run ") + line);
    if (!g_workAnswer) g_fakeLastError = kRunError;
    return g_workAnswer;
}
void RemoveShares(int32_t platform) { g_calls.push_back("shares " + std::to_string(platform)); }

// Members this test does not use stay null, however many the table grows.
CleaningWork MakeWork() {
    CleaningWork work = {};
    work.unregisterServer = Unregister;
    work.runCommand = Run;
    work.removeShares = RemoveShares;
    return work;
}
const CleaningWork kWork = MakeWork();

// What the elements wrote to the log between the start and finish lines.
std::string Body(const ScriptRun& run) {
    const std::string& log = run.record.log;
    size_t started = log.find("System scan started at ");
    size_t finished = log.find("\r\nSystem scan finished at ");
    if (started == std::string::npos || finished == std::string::npos) return "<no frame> " + log;
    size_t from = log.find("\r\n", started) + 2;
    return log.substr(from, finished - from);
}

class CommandElements : public testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_workAnswer = true;
        savedReport_ = g_report;
        savedPrompts_ = g_prompts;
        saved_ = g_cleaning;
        savedMode_ = g_runOptions.sharesMode;
        savedPlatform_ = g_platformCode;
        g_cleaning = &kWork;
        g_platformCode = PLATFORM_NT;
        for (int i = 0; i < FOLDER_COUNT; ++i) g_standInFolders[i] = kStandInDefaults[i];
        g_fakeLastError = 0;
        g_settings.reportOnly = 0;
        FreeRunItems();
    }
    void TearDown() override {
        g_settings.reportOnly = 0;
        FreeRunItems();
        g_report = savedReport_;
        g_prompts = savedPrompts_;
        g_cleaning = saved_;
        g_runOptions.sharesMode = savedMode_;
        g_platformCode = savedPlatform_;
        FreeStores();
    }
    static ScriptRun Run(const std::string& elements, uint32_t platform = RUN_WINNT) {
        return RunScript("<CLEANER DataFile=\"F\"><IDENTITY>" + elements + "</IDENTITY></CLEANER>", platform);
    }
    ReportState savedReport_;
    const PromptPort* savedPrompts_;
    const CleaningWork* saved_;
    int32_t savedMode_;
    int32_t savedPlatform_;
};

struct ExecuteRow {
    int row;
    const char* text;
    const char* call;  // what reaches the work table, "" for nothing
};

// Stand-in folders: C:\WINDOWS, C:\WINDOWS\SYSTEM32, C:\TEMP\ and so on; the
// store "%dropper%" holds C:\bad\drop.exe.
const ExecuteRow kExecuteRows[] = {
    {1, "\"windows\\regedit.exe /s fix.reg\"", "run C:\\WINDOWS\\regedit.exe /s fix.reg"},
    {2, "\"system\\cmd.exe /c del %dropper%\"", "run C:\\WINDOWS\\SYSTEM32\\cmd.exe /c del C:\\bad\\drop.exe"},
    {3, "\"%dropper% /uninstall\"", "run C:\\bad\\drop.exe /uninstall"},
    // the last character goes whatever it is
    {4, "\"windows\\notepad.exe x.txt", "run C:\\WINDOWS\\notepad.exe x.tx"},
    {5, "\"C:\\tools\\fix.exe\"", "run C:\\tools\\fix.exe"},
    // only the very start of the command is a macro
    {6, "\"Windows\\x.exe\"", "run Windows\\x.exe"},
    {7, "\"\"", "run "},
    {8, "\"", "run "},
    {9, "windows\\regedit.exe", ""},
    {10, " \"windows\\regedit.exe\"", ""},
    // the text is taken whole, blanks and all
    {11, "removeShares ", ""},
};

TEST_F(CommandElements, ExecuteRunsOnlyQuotedTexts) {
    for (const ExecuteRow& r : kExecuteRows) {
        g_calls.clear();
        FreeStores();
        AddToStore("%dropper%", "C:\\bad\\drop.exe", 0);
        std::string xml = std::string("<EXECUTE>") + r.text + "</EXECUTE>";
        // the text goes into XML: escape what XML would read as markup
        ScriptRun run = Run(xml);
        std::vector<std::string> expected;
        if (*r.call) expected.push_back(r.call);
        EXPECT_EQ(expected, g_calls) << "row " << r.row;
        EXPECT_EQ(nullptr, run.context.commandText) << "row " << r.row;
        EXPECT_EQ("", Body(run)) << "row " << r.row;
    }
}

TEST_F(CommandElements, AFolderThatCannotBeHadLeavesTheCommandUnexpanded) {
    g_standInFolders[FOLDER_TEMP] = nullptr;
    ScriptRun run = Run("<EXECUTE>\"temp\\fix.exe -q\"</EXECUTE>");
    EXPECT_EQ(std::vector<std::string>{"run temp\\fix.exe -q"}, g_calls);
    EXPECT_EQ("Could not obtain the temp directory name\r\n", Body(run));
}

TEST_F(CommandElements, ACommandThatDoesNotStartIsReported) {
    g_workAnswer = false;
    ScriptRun run = Run("<EXECUTE>\"windows\\gone.exe /q\"</EXECUTE><EXECUTE>\"system\\x\"</EXECUTE>");
    EXPECT_EQ(2u, g_calls.size());
    EXPECT_EQ("Could not execute command:\r\n    C:\\WINDOWS\\gone.exe /q"
              "Could not execute command:\r\n    C:\\WINDOWS\\SYSTEM32\\x",
              Body(run));
    // only the first line reaches the list
    int listed = 0;
    for (const std::string& entry : run.record.list) {
        EXPECT_EQ(std::string::npos, entry.find("C:\\WINDOWS")) << entry;
        listed += entry == "Could not execute command:";
    }
    EXPECT_EQ(2, listed);
}

struct SharesRow {
    int row;
    int32_t mode;
    uint32_t platformFlag;
    int32_t platformCode;
    const char* text;
    const char* call;
    bool summaryLine;
};

const SharesRow kSharesRows[] = {
    {1, 1, RUN_WINNT, PLATFORM_NT, "removeShares", "shares 8", true},
    {2, 1, RUN_WIN9X, PLATFORM_9X, "REMOVESHARES", "shares 16", true},
    {3, 0, RUN_WINNT, PLATFORM_NT, "removeshares", "", false},
    {4, 2, RUN_WINNT, PLATFORM_NT, "removeShares", "", false},
    {5, 1, RUN_WINNT, PLATFORM_NT, "\"removeShares\"", "run removeShares", false},
};

TEST_F(CommandElements, RemoveSharesOnlyInARunStartedWithS) {
    for (const SharesRow& r : kSharesRows) {
        g_calls.clear();
        g_runOptions.sharesMode = r.mode;
        g_platformCode = r.platformCode;
        ScriptRun run = Run(std::string("<EXECUTE>") + r.text + "</EXECUTE>", r.platformFlag);
        std::vector<std::string> expected;
        if (*r.call) expected.push_back(r.call);
        EXPECT_EQ(expected, g_calls) << "row " << r.row;
        EXPECT_EQ(r.summaryLine, (run.context.flags & RUN_DID_SHARES) != 0) << "row " << r.row;
        EXPECT_EQ("", Body(run)) << "row " << r.row;
    }
}

TEST_F(CommandElements, UnregDllSubstitutesExpandsAndReportsTheOutcome) {
    AddToStore("%server%", "evil.dll", 0);
    ScriptRun run = Run("<UNREGDLL>system\\%server%</UNREGDLL>");
    EXPECT_EQ(std::vector<std::string>{"unregister C:\\WINDOWS\\SYSTEM32\\evil.dll"}, g_calls);
    EXPECT_EQ("\r\nUnregistered C:\\WINDOWS\\SYSTEM32\\evil.dll\r\n", Body(run));

    g_calls.clear();
    g_workAnswer = false;
    g_standInFolders[FOLDER_SYSTEM] = nullptr;
    run = Run("<UNREGDLL>system\\x.dll</UNREGDLL>");
    EXPECT_EQ(std::vector<std::string>{"unregister system\\x.dll"}, g_calls);
    EXPECT_EQ("Could not obtain the system directory name\r\n\r\nCould not unregister system\\x.dll\r\n",
              Body(run));
}

TEST_F(CommandElements, UnregDllMessagesFollowDefaultMessages) {
    ScriptRun run = Run("<UNREGDLL DefaultMessages=\"off\">a.dll</UNREGDLL><UNREGDLL>b.dll</UNREGDLL>");
    EXPECT_EQ(2u, g_calls.size());
    EXPECT_EQ("\r\nUnregistered b.dll\r\n", Body(run));
}

TEST_F(CommandElements, NoWorkTableNoWorkButTheTextIsFreed) {
    g_cleaning = nullptr;
    g_runOptions.sharesMode = 1;
    ScriptRun run = Run("<UNREGDLL>a.dll</UNREGDLL><EXECUTE>\"x.exe\"</EXECUTE><EXECUTE>removeShares</EXECUTE>");
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ("", Body(run));
    EXPECT_EQ(nullptr, run.context.commandText);
    EXPECT_NE(0u, run.context.flags & RUN_DID_SHARES);
}

TEST_F(CommandElements, SkipModeRunsNothing) {
    g_runOptions.sharesMode = 1;
    ScriptRun run = RunScript("<CLEANER DataFile=\"F\" os=\"WIN9X\"><IDENTITY><UNREGDLL>a.dll</UNREGDLL>"
                              "<EXECUTE>\"x.exe\"</EXECUTE><EXECUTE>removeShares</EXECUTE></IDENTITY></CLEANER>",
                              RUN_WINNT);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(0u, run.context.flags & RUN_DID_SHARES);
}

struct GuardRow {
    int row;
    const char* marked;  // the spliced pieces between [ and ]
    const char* guarded;
    uint32_t error;  // when there is no line to start
};

// Short names of the stand-in: on C: "a b" is AB~1; D: has none; a quote
// makes no name; other paths do not exist.
const GuardRow kGuardRows[] = {
    {1, "[C:\\Program Files\\x]\\y.exe /q", "\"C:\\Program Files\\x\\y.exe\" /q", 0},
    {2, "cmd.exe /c del [C:\\a b\\drop.exe]", "cmd.exe /c del \"C:\\a b\\drop.exe\"", 0},
    {3, "[C:\\a\tb\\x.exe]", "\"C:\\a\tb\\x.exe\"", 0},
    // quoted by the data file, or nothing to keep together
    {4, "cmd.exe /c del \"[C:\\a b\\drop.exe]\"", "cmd.exe /c del \"C:\\a b\\drop.exe\"", 0},
    {5, "[C:\\bad\\drop.exe] /uninstall", "C:\\bad\\drop.exe /uninstall", 0},
    {6, "x.exe \"/a b\" c", "x.exe \"/a b\" c", 0},
    // the whole word goes in quotes; a blank the data file wrote still parts words
    {7, "fix.exe /file=[C:\\a b\\x]", "fix.exe \"/file=C:\\a b\\x\"", 0},
    {8, "[C:\\a b]\\[c d].exe /q", "\"C:\\a b\\c d.exe\" /q", 0},
    {9, "[C:\\a b]\\x.exe [C:\\e f]", "\"C:\\a b\\x.exe\" \"C:\\e f\"", 0},
    {10, "[C:\\a b]\\My Tool.exe", "\"C:\\a b\\My\" Tool.exe", 0},
    // quotes cannot go around a word holding one, nor before a closing backslash
    {11, "fix.exe /out:\"x\"[C:\\a b\\y]", "fix.exe /out:\"x\"C:\\AB~1\\y", 0},
    {12, "copy [C:\\a b]\\ d", "copy C:\\AB~1\\ d", 0},
    // a piece that brings a quote of its own is not held by the data file's
    {13, "cmd.exe /c del \"[C:\\x\" & C:\\a b\\y.exe]\"", nullptr, 123},
    {14, "fix.exe \"x\"[D:\\a b]", nullptr, BLANK_IN_SHORT_NAME},
    {15, "fix.exe \"x\"[not a path]", nullptr, 2},
    {16, "", "", 0},
};

TEST(CommandLineGuard, SplicedPiecesWithBlanksStayOneWord) {
    for (const GuardRow& r : kGuardRows) {
        SplicedLine line = {};
        std::string plain;
        size_t begin = 0;
        for (const char* c = r.marked; *c; ++c) {
            if (*c == '[') begin = plain.size();
            else if (*c == ']') AddSplicedPiece(&line, begin, plain.size());
            else plain += *c;
        }
        line.text = strdup(plain.c_str());
        uint32_t error = 0;
        char* guarded = GuardedCommandLine(&line, &error);
        EXPECT_EQ(std::string(r.guarded ? r.guarded : "<none>"), guarded ? guarded : "<none>") << "row " << r.row;
        EXPECT_EQ(r.error, error) << "row " << r.row;
        free(guarded);
        free(line.text);
    }
}

struct HeadRow {
    int row;
    const char* line;
    const char* name;
    const char* rest;
    bool bare;
};

const HeadRow kHeadRows[] = {
    {1, "regedit /s fix.reg", "regedit", " /s fix.reg", true},
    {2, "fix.exe\t-q", "fix.exe", "\t-q", true},
    {3, "\"C:\\a b\\fix.exe\" -q", "C:\\a b\\fix.exe", " -q", false},
    {4, "\"fix.exe\"-q", "fix.exe", "-q", true},
    {5, "  fix.exe", "fix.exe", "", true},
    {6, "\"fix.exe", "fix.exe", "", true},
    {7, "tools\\fix.exe", "tools\\fix.exe", "", false},
    {8, "tools/fix.exe", "tools/fix.exe", "", false},
    {9, "C:fix.exe", "C:fix.exe", "", false},
    {10, "", "", "", false},
    {11, "\"\" x", "", " x", false},
};

TEST(CommandLineGuard, TheProgramIsReadAsTheSystemReadsIt) {
    for (const HeadRow& r : kHeadRows) {
        CommandHead head = FindCommandHead(r.line);
        EXPECT_EQ(r.name, std::string(r.line + head.begin, head.end - head.begin)) << "row " << r.row;
        EXPECT_EQ(r.rest, std::string(r.line + head.rest)) << "row " << r.row;
        EXPECT_EQ(r.bare, IsBareName(r.line + head.begin, head.end - head.begin)) << "row " << r.row;
    }
}

struct SplicedRow {
    int row;
    const char* text;
    const char* value;  // of the store "%dropper%"
    const char* call;
    const char* body;
    const char* item;
};

// The stand-in startup folder is C:\Documents and Settings\All Users\Start
// Menu\Programs\Startup. What is started is guarded; the messages and the
// run report show the command line as the data file and the store gave it.
const SplicedRow kSplicedRows[] = {
    {1, "\"startup\\fix.exe /q\"", "",
     "run \"C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\fix.exe\" /q", "",
     "command|C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\fix.exe /q"
     "|\"startup\\fix.exe /q\"|execute|done|0"},
    {2, "\"system\\cmd.exe /c del %dropper%\"", "C:\\Program Files\\bad\\drop.exe",
     "run C:\\WINDOWS\\SYSTEM32\\cmd.exe /c del \"C:\\Program Files\\bad\\drop.exe\"", "",
     "command|C:\\WINDOWS\\SYSTEM32\\cmd.exe /c del C:\\Program Files\\bad\\drop.exe"
     "|\"system\\cmd.exe /c del %dropper%\"|execute|done|0"},
    {3, "\"%dropper% /uninstall\"", "C:\\Program Files\\bad\\drop.exe",
     "run \"C:\\Program Files\\bad\\drop.exe\" /uninstall", "",
     "command|C:\\Program Files\\bad\\drop.exe /uninstall|\"%dropper% /uninstall\"|execute|done|0"},
    // a value that begins with a macro word becomes part of the folder
    {4, "\"%dropper% -q\"", "startup\\x.exe",
     "run \"C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\x.exe\" -q", "",
     "command|C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\x.exe -q"
     "|\"%dropper% -q\"|execute|done|0"},
    {5, "\"cmd.exe /c del \"%dropper%\"\"", "C:\\Program Files\\bad\\drop.exe",
     "run cmd.exe /c del \"C:\\Program Files\\bad\\drop.exe\"", "",
     "command|cmd.exe /c del \"C:\\Program Files\\bad\\drop.exe\"|\"cmd.exe /c del \"%dropper%\"\"|execute|done|0"},
    {6, "\"fix.exe \"a\"%dropper%\"", "C:\\Program Files\\bad\\drop.exe",
     "run fix.exe \"a\"C:\\PROGRA~1\\bad\\drop.exe", "",
     "command|fix.exe \"a\"C:\\Program Files\\bad\\drop.exe|\"fix.exe \"a\"%dropper%\"|execute|done|0"},
    // no short name to be had: nothing is started, and the run says so
    {7, "\"fix.exe \"a\"%dropper%\"", "D:\\No Short\\x.exe", "",
     "Could not execute command:\r\n    fix.exe \"a\"D:\\No Short\\x.exe",
     "command|fix.exe \"a\"D:\\No Short\\x.exe|\"fix.exe \"a\"%dropper%\"|execute|failed|123"},
};

TEST_F(CommandElements, SplicedBlanksAreQuotedInWhatIsStartedOnly) {
    for (const SplicedRow& r : kSplicedRows) {
        g_calls.clear();
        FreeStores();
        FreeRunItems();
        AddToStore("%dropper%", r.value, 0);
        ScriptRun run = Run(std::string("<EXECUTE>") + r.text + "</EXECUTE>");
        std::vector<std::string> expected;
        if (*r.call) expected.push_back(r.call);
        EXPECT_EQ(expected, g_calls) << "row " << r.row;
        EXPECT_EQ(r.body, Body(run)) << "row " << r.row;
        EXPECT_EQ(std::vector<std::string>{r.item}, RecordedItems()) << "row " << r.row;
    }
}


struct ReportedRow {
    int row;
    const char* elements;
    bool reportOnly;
    bool workAnswer;
    std::vector<std::string> calls;
    const char* body;
    std::vector<std::string> items;
};

// The store "%server%" holds evil.dll. A report-only run neither loads the
// library nor starts the command; the share removal is still called, and
// reports only by itself.
const ReportedRow kReportedRows[] = {
    {1, "<UNREGDLL>system\\%server%</UNREGDLL>", true, true, {}, "Would unregister C:\\WINDOWS\\SYSTEM32\\evil.dll\r\n",
     {"comServer|C:\\WINDOWS\\SYSTEM32\\evil.dll|system\\%server%|unregister|wouldDo|0"}},
    {2, "<EXECUTE>\"windows\\regedit.exe /s fix.reg\"</EXECUTE>", true, true, {},
     "Would execute command C:\\WINDOWS\\regedit.exe /s fix.reg\r\n",
     {"command|C:\\WINDOWS\\regedit.exe /s fix.reg|\"windows\\regedit.exe /s fix.reg\"|execute|wouldDo|0"}},
    {3, "<EXECUTE>removeShares</EXECUTE><EXECUTE>regedit.exe</EXECUTE>", true, true, {"shares 8"}, "", {}},
    {4, "<UNREGDLL>a.dll</UNREGDLL>", false, true, {"unregister a.dll"}, "\r\nUnregistered a.dll\r\n",
     {"comServer|a.dll|a.dll|unregister|done|0"}},
    {5, "<UNREGDLL>a.dll</UNREGDLL>", false, false, {"unregister a.dll"}, "\r\nCould not unregister a.dll\r\n",
     {"comServer|a.dll|a.dll|unregister|failed|2147500037"}},
    {6, "<EXECUTE>\"x.exe -q\"</EXECUTE>", false, true, {"run x.exe -q"}, "",
     {"command|x.exe -q|\"x.exe -q\"|execute|done|0"}},
    {7, "<EXECUTE>\"x.exe -q\"</EXECUTE>", false, false, {"run x.exe -q"}, "Could not execute command:\r\n    x.exe -q",
     {"command|x.exe -q|\"x.exe -q\"|execute|failed|2"}},
};

TEST_F(CommandElements, ReportOnlyStartsNothingAndEachCommandIsOneItem) {
    for (const ReportedRow& r : kReportedRows) {
        g_calls.clear();
        FreeStores();
        FreeRunItems();
        AddToStore("%server%", "evil.dll", 0);
        g_runOptions.sharesMode = 1;
        g_settings.reportOnly = r.reportOnly ? 1 : 0;
        g_workAnswer = r.workAnswer;
        ScriptRun run = Run(r.elements);
        EXPECT_EQ(r.calls, g_calls) << "row " << r.row;
        EXPECT_EQ(r.body, Body(run)) << "row " << r.row;
        EXPECT_EQ(r.items, RecordedItems()) << "row " << r.row;
        EXPECT_EQ(nullptr, run.context.commandText) << "row " << r.row;
    }
}

}  // namespace
