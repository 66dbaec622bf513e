// UNREGDLL and EXECUTE without the machine: what reaches the work table
// after store substitution, folder macros and quoting, which texts start
// nothing, the share removal only in a run started with -s, and the
// messages for each outcome.
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
