// Command-line parsing, installing the run options, and the usage text.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/console_options.h"
#include "app/run_options.h"
#include "script/usage.h"
#include "report/confirm.h"
#include "report/message.h"

// tests/unit/test_platform.cpp: null makes the lookup fail.
void SetTestWindowsDirectory(const char* dir);

namespace {

const char kWinDir[] = "C:\\WINDOWS";

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { SetTestWindowsDirectory(kWinDir); }
    void TearDown() override {
        SetTestWindowsDirectory(kWinDir);
        ParseCommandLine(nullptr);
    }
};

struct ParseRow {
    int row;
    std::string line;
    const char* windowsDir;  // null: the lookup fails
    int confirm, verbose, noDisk, allFiles, sharesMode;
    const char* dataFile;  // null: none
    std::string logPath;
};

const std::string kLf255 = "-lf=" + std::string(251, 'p');
const std::string kLf256 = "-lf=" + std::string(252, 'p');

const ParseRow kParseRows[] = {
    {1, "", kWinDir, 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {2, "-LF=D:\\logs\\run.txt -NOC", kWinDir, 0, 0, 0, 0, 0, nullptr, "D:\\logs\\run.txt"},
    {3, "-s -rs", kWinDir, 1, 0, 0, 0, 2, nullptr, "C:\\mendrix.log"},
    {4, "-rs -s", kWinDir, 1, 0, 0, 0, 1, nullptr, "C:\\mendrix.log"},
    {5, "-verbose -nodisks /noc -VER -noc=1 -v2 -lf -df", kWinDir, 1, 0, 0, 0, 0, nullptr,
     "C:\\mendrix.log"},
    {6, "\t-v\t-nodisk\t", kWinDir, 1, 1, 1, 0, 0, nullptr, "C:\\mendrix.log"},
    {7, "-df=my file.dat", kWinDir, 1, 0, 0, 0, 0, "my", "C:\\mendrix.log"},
    {8, "-lf=", kWinDir, 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {9, "-lf=a.log -lf=", kWinDir, 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {10, kLf255, kWinDir, 1, 0, 0, 0, 0, nullptr, std::string(251, 'p')},
    {11, kLf256, kWinDir, 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {12, "-lf=a.log " + kLf256, kWinDir, 1, 0, 0, 0, 0, nullptr, "a.log"},
    {13, "-ALL -V -S -NoDisk", kWinDir, 1, 1, 1, 1, 1, nullptr, "C:\\mendrix.log"},
    {14, "", "D:\\WINNT", 1, 0, 0, 0, 0, nullptr, "D:\\mendrix.log"},
    {15, "", nullptr, 1, 0, 0, 0, 0, nullptr, ""},
    {16, "", "C:", 1, 0, 0, 0, 0, nullptr, ""},
    {17, "", "C:\\", 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {18, "-df=", kWinDir, 1, 0, 0, 0, 0, "", "C:\\mendrix.log"},
    {19, "-DF=a.dat -df=b.dat", kWinDir, 1, 0, 0, 0, 0, "b.dat", "C:\\mendrix.log"},
    {20, "-lf=x.log -LF=y.log", kWinDir, 1, 0, 0, 0, 0, nullptr, "y.log"},
    {21, "   ", kWinDir, 1, 0, 0, 0, 0, nullptr, "C:\\mendrix.log"},
    {22, "-lf=-noc", kWinDir, 1, 0, 0, 0, 0, nullptr, "-noc"},
    {23, "-df=-lf=q", kWinDir, 1, 0, 0, 0, 0, "-lf=q", "C:\\mendrix.log"},
    {24, "-lf=E:\\a.log", nullptr, 1, 0, 0, 0, 0, nullptr, "E:\\a.log"},
};

TEST_F(CommandLine, TokensSetOptions) {
    for (const ParseRow& r : kParseRows) {
        SetTestWindowsDirectory(r.windowsDir);
        std::vector<char> text(r.line.begin(), r.line.end());
        text.push_back(0);
        ParseCommandLine(text.data());

        const RunOptions& o = g_runOptions;
        EXPECT_EQ(o.confirm, r.confirm) << "row " << r.row;
        EXPECT_EQ(o.verbose, r.verbose) << "row " << r.row;
        EXPECT_EQ(o.noDisk, r.noDisk) << "row " << r.row;
        EXPECT_EQ(o.allFiles, r.allFiles) << "row " << r.row;
        EXPECT_EQ(o.sharesMode, r.sharesMode) << "row " << r.row;
        EXPECT_EQ(o.secondOutput, nullptr) << "row " << r.row;
        if (r.dataFile) {
            ASSERT_NE(o.dataFile, nullptr) << "row " << r.row;
            EXPECT_STREQ(o.dataFile, r.dataFile) << "row " << r.row;
            EXPECT_TRUE(o.dataFile >= text.data() && o.dataFile < text.data() + text.size())
                << "row " << r.row << ": data file name not in the given text";
        } else {
            EXPECT_EQ(o.dataFile, nullptr) << "row " << r.row;
        }
        EXPECT_EQ(o.logPath, g_logPathBuffer) << "row " << r.row;
        EXPECT_EQ(std::string(g_logPathBuffer), r.logPath) << "row " << r.row;
    }
}

// Tokens that set no option reach the front end, in order, unquoted.
std::vector<std::string> g_others;
void KeepOther(const char* token) { g_others.push_back(token); }

struct QuotedRow {
    int row;
    std::string line;
    const char* dataFile;  // null: none
    std::string logPath;
    int confirm, verbose;
    std::vector<std::string> others;
};

const QuotedRow kQuotedRows[] = {
    {1, "\"-df=C:\\a b\\x.dat\"", "C:\\a b\\x.dat", "C:\\mendrix.log", 1, 0, {}},
    {2, "-df=\"C:\\a b\\x.dat\" -noc", "C:\\a b\\x.dat", "C:\\mendrix.log", 0, 0, {}},
    {3, "-df=\"C:\\a\tb\\x.dat\"", "C:\\a\tb\\x.dat", "C:\\mendrix.log", 1, 0, {}},
    {4, "\"-df=C:\\Documents and Settings\\x.dat\"\t\"-lf=C:\\Program Files\\m.log\" \"-noc\" -v",
     "C:\\Documents and Settings\\x.dat", "C:\\Program Files\\m.log", 0, 1, {}},
    {5, "-lf=\"D:\\my logs\"\\run.log -df=C:\\\"two  spaces\"\\x.dat", "C:\\two  spaces\\x.dat",
     "D:\\my logs\\run.log", 1, 0, {}},
    {6, "-noc \"-df=C:\\open quote -v", "C:\\open quote -v", "C:\\mendrix.log", 0, 0, {}},  // runs to the end
    {7, "-df=\"C:\\x.dat", "C:\\x.dat", "C:\\mendrix.log", 1, 0, {}},
    {8, "-df=\"\"", nullptr, "C:\\mendrix.log", 1, 0, {}},  // an absent name
    {9, "-df=a.dat \"-df=\"", nullptr, "C:\\mendrix.log", 1, 0, {}},
    {10, "-lf=\"\"", nullptr, "C:\\mendrix.log", 1, 0, {}},
    {11, "\"-no\"c \"\" \"my option\" /x", nullptr, "C:\\mendrix.log", 0, 0, {"my option", "/x"}},
    {12, "\"\"\"", nullptr, "C:\\mendrix.log", 1, 0, {}},
    {13, "\"-v\"-noc", nullptr, "C:\\mendrix.log", 1, 0, {"-v-noc"}},
    {14, "\"-lf=" + std::string(251, 'p') + "\"", nullptr, std::string(251, 'p'), 1, 0, {}},
};

TEST_F(CommandLine, QuotedTokensAndValues) {
    for (const QuotedRow& r : kQuotedRows) {
        std::vector<char> text(r.line.begin(), r.line.end());
        text.push_back(0);
        g_others.clear();
        ParseCommandLine(text.data(), KeepOther);
        if (r.dataFile) {
            ASSERT_NE(g_runOptions.dataFile, nullptr) << "row " << r.row;
            EXPECT_STREQ(g_runOptions.dataFile, r.dataFile) << "row " << r.row;
            EXPECT_TRUE(g_runOptions.dataFile >= text.data() && g_runOptions.dataFile < text.data() + text.size())
                << "row " << r.row << ": data file name not in the given text";
        } else {
            EXPECT_EQ(g_runOptions.dataFile, nullptr) << "row " << r.row;
        }
        EXPECT_EQ(std::string(g_logPathBuffer), r.logPath) << "row " << r.row;
        EXPECT_EQ(g_runOptions.confirm, r.confirm) << "row " << r.row;
        EXPECT_EQ(g_runOptions.verbose, r.verbose) << "row " << r.row;
        EXPECT_EQ(g_others, r.others) << "row " << r.row;
    }
}

TEST_F(CommandLine, UnknownTokensReachTheFrontEndInOrder) {
    char text[] = "-verbose -noc /noc -VER -df=x -lf -? --help";
    g_others.clear();
    ParseCommandLine(text, KeepOther);
    EXPECT_EQ(g_others, (std::vector<std::string>{"-verbose", "/noc", "-VER", "-lf", "-?", "--help"}));
    EXPECT_EQ(g_runOptions.confirm, 0);
    EXPECT_STREQ(g_runOptions.dataFile, "x");
}

TEST_F(CommandLine, TokensAreCutInPlace) {
    char text[] = "-v -df=x.dat\t-noc";
    ParseCommandLine(text);
    EXPECT_EQ(g_runOptions.dataFile, text + 7);
    EXPECT_EQ(0, memcmp(text, "-v\0-df=x.dat\0-noc", sizeof text));
}

// A report-only run and its JSON report: whole words, the report's path
// kept in place like the data file's, an empty path naming none.
TEST_F(CommandLine, ReportOnlyAndJsonReport) {
    struct Row {
        int row;
        std::string line;
        int reportOnly;
        const char* json;
    } rows[] = {
        {1, "", 0, nullptr},
        {2, "-reportonly", 1, nullptr},
        {3, "-REPORTONLY -Json=C:\\r.json", 1, "C:\\r.json"},
        {4, "-reportonlyx -reportonl -json", 0, nullptr},
        {5, "-json=a.json -json=", 0, nullptr},
        {6, "\"-json=C:\\My Reports\\r.json\" -noc", 0, "C:\\My Reports\\r.json"},
    };
    for (const Row& r : rows) {
        std::vector<char> text(r.line.begin(), r.line.end());
        text.push_back(0);
        ParseCommandLine(text.data());
        EXPECT_EQ(r.reportOnly, g_runOptions.reportOnly) << "row " << r.row;
        if (r.json)
            EXPECT_STREQ(r.json, g_runOptions.jsonPath) << "row " << r.row;
        else
            EXPECT_EQ(nullptr, g_runOptions.jsonPath) << "row " << r.row;
        InstallRunOptions(&g_runOptions);
        EXPECT_EQ(r.reportOnly, g_settings.reportOnly) << "row " << r.row;
    }
    char empty[] = "";
    ParseCommandLine(empty);
    InstallRunOptions(&g_runOptions);
}

TEST_F(CommandLine, EachParseStartsFromDefaults) {
    char first[] = "-noc -v -nodisk -all -rs -df=a.dat -lf=x.log";
    ParseCommandLine(first);
    g_runOptions.secondOutput = (OutHandle)0x5;
    char second[] = "";
    ParseCommandLine(second);
    EXPECT_EQ(g_runOptions.confirm, 1);
    EXPECT_EQ(g_runOptions.verbose, 0);
    EXPECT_EQ(g_runOptions.noDisk, 0);
    EXPECT_EQ(g_runOptions.allFiles, 0);
    EXPECT_EQ(g_runOptions.sharesMode, 0);
    EXPECT_EQ(g_runOptions.dataFile, nullptr);
    EXPECT_EQ(g_runOptions.secondOutput, nullptr);
    EXPECT_STREQ(g_runOptions.logPath, "C:\\mendrix.log");
}

TEST_F(CommandLine, LongWindowsDirectoryStaysInBuffer) {
    std::string dir = "C:" + std::string(LOG_PATH_SIZE - 3, 'w');  // 255 characters
    SetTestWindowsDirectory(dir.c_str());
    ParseCommandLine(nullptr);
    EXPECT_STREQ(g_logPathBuffer, "C:wmendrix.log");
}

// ------------------------------------------------------------ installation

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        savedReport_ = g_report;
        savedSettings_ = g_settings;
        savedOptions_ = g_runOptions;
    }
    void TearDown() override {
        g_report = savedReport_;
        g_settings = savedSettings_;
        g_runOptions = savedOptions_;
        g_yesToAll = 0;
    }
    ReportState savedReport_;
    RunSettings savedSettings_;
    RunOptions savedOptions_;
};

// Field by field: padding need not be copied.
bool Same(const RunOptions& a, const RunOptions& b) {
    return a.confirm == b.confirm && a.verbose == b.verbose && a.noDisk == b.noDisk &&
           a.logPath == b.logPath && a.dataFile == b.dataFile && a.allFiles == b.allFiles &&
           a.sharesMode == b.sharesMode && a.secondOutput == b.secondOutput;
}

struct InstallRow {
    int row;
    RunOptions in;
    uint32_t switchesBefore;
    RunSettings want;
    uint32_t switchesAfter;
};

char kData[] = "d.dat";
OutHandle const kOut = (OutHandle)0x44;

const InstallRow kInstallRows[] = {
    {1, {1, 0, 0, g_logPathBuffer, nullptr, 0, 0, nullptr, 0, nullptr}, 0x200,
     {1, 0, 0, g_logPathBuffer, nullptr, nullptr}, 0x200},
    {2, {0, 1, 1, g_logPathBuffer, kData, 1, 2, kOut, 0, nullptr}, 0x200,
     {0, 1, 1, g_logPathBuffer, kData, kOut}, 0x80000200u},
    {3, {7, 0, 0, g_logPathBuffer, nullptr, 0, 0, nullptr, 0, nullptr}, 0x80000000u,
     {1, 0, 0, g_logPathBuffer, nullptr, nullptr}, 0x80000000u},
    {4, {-1, 5, 0, g_logPathBuffer, nullptr, 3, 0, nullptr, 0, nullptr}, 0,
     {1, 0, 3, g_logPathBuffer, nullptr, nullptr}, 0x80000000u},
};

TEST_F(Install, SettingsFollowTheRecord) {
    for (const InstallRow& r : kInstallRows) {
        g_report.switches = r.switchesBefore;
        g_report.secondOutput = (OutHandle)0x99;
        g_yesToAll = 1;
        InstallRunOptions(&r.in);

        EXPECT_EQ(g_settings.confirmation, r.want.confirmation) << "row " << r.row;
        EXPECT_EQ(g_settings.skipDisk, r.want.skipDisk) << "row " << r.row;
        EXPECT_EQ(g_settings.allFiles, r.want.allFiles) << "row " << r.row;
        EXPECT_EQ(g_settings.logPath, r.want.logPath) << "row " << r.row;
        EXPECT_EQ(g_settings.dataFile, r.want.dataFile) << "row " << r.row;
        EXPECT_EQ(g_settings.secondOutput, r.want.secondOutput) << "row " << r.row;
        EXPECT_EQ(g_report.secondOutput, r.want.secondOutput) << "row " << r.row;
        EXPECT_EQ(g_report.switches, r.switchesAfter) << "row " << r.row;
        EXPECT_EQ(g_yesToAll, 0) << "row " << r.row;
        EXPECT_TRUE(Same(g_runOptions, r.in)) << "row " << r.row;
    }
}

TEST_F(Install, OwnRecordInstallsUnchanged) {
    char text[] = "-noc -v -df=a.dat -nodisk";
    ParseCommandLine(text);
    RunOptions before = g_runOptions;
    InstallRunOptions(&g_runOptions);
    EXPECT_TRUE(Same(g_runOptions, before));
    EXPECT_EQ(g_settings.confirmation, 0);
    EXPECT_EQ(g_settings.skipDisk, 1);
    EXPECT_STREQ(g_settings.dataFile, "a.dat");
    EXPECT_TRUE(g_report.switches & SWITCH_VERBOSE);
}

// ------------------------------------------------------------------ usage

std::string g_second, g_log;
std::vector<std::string> g_list;
void Write(OutHandle f, const char* b, size_t n) {
    (f == kOut ? g_second : g_log).append(b, n);
}
int Add(void*, const char* line) {
    g_list.push_back(line);
    return (int)g_list.size() - 1;
}

TEST_F(Install, UsageGoesToWindowAndSecondOutputOnly) {
    const MessageSinks sinks = {Write, Add, nullptr, nullptr, nullptr};
    g_report = ReportState{(OutHandle)0x1, kOut, (void*)0x2, SWITCH_DEFAULT_MESSAGES, &sinks};
    g_second.clear();
    g_log.clear();
    g_list.clear();
    PrintUsage();
    EXPECT_EQ(g_log, "");
    EXPECT_EQ(g_second,
              "\r\nUsage: MENDRIX -DF=<file> <option>\r\n\r\n"
              "       -DF=<file> read data from <file>\r\n"
              "       -LF=<file> write to logfile <file>\r\n"
              "       -NOC       do not ask for confirmation\r\n"
              "       -V         verbose logging\r\n"
              "       -VER       display version information and exit\r\n");
    const std::vector<std::string> lines = {
        "",
        "Usage: MENDRIX -DF=<file> <option>",
        "       -DF=<file> read data from <file>",
        "       -LF=<file> write to logfile <file>",
        "       -NOC       do not ask for confirmation",
        "       -V         verbose logging",
        "       -VER       display version information and exit",
    };
    EXPECT_EQ(g_list, lines);
}

// ------------------------------------------------- console words

TEST(ConsoleWords, HelpAndVersionWords) {
    struct Row {
        int row;
        const char* token;
        ConsoleRequest request;
    } rows[] = {
        {1, "-?", CONSOLE_HELP},       {2, "-h", CONSOLE_HELP},        {3, "--help", CONSOLE_HELP},
        {4, "/?", CONSOLE_HELP},       {5, "-H", CONSOLE_HELP},        {6, "--HELP", CONSOLE_HELP},
        {7, "-ver", CONSOLE_VERSION},  {8, "-VER", CONSOLE_VERSION},   {9, "--version", CONSOLE_VERSION},
        {10, "-help", CONSOLE_SCAN},   {11, "/h", CONSOLE_SCAN},       {12, "-version", CONSOLE_SCAN},
        {13, "--ver", CONSOLE_SCAN},   {14, "-?x", CONSOLE_SCAN},      {15, "", CONSOLE_SCAN},
    };
    for (const Row& r : rows) EXPECT_EQ(r.request, ConsoleRequestOf(r.token)) << "row " << r.row;
}

// Every word the command line takes, every exit code, and the quoting rule.
TEST(ConsoleWords, UsageIsComplete) {
    const std::string usage = kConsoleUsage;
    for (const char* word : {"-df=<file>", "-lf=<file>", "-noc ", "-nodisk ", "-v ", "-s ", "-rs ", "-all ", "-?",
                             "-h,", "--help", "/?", "-ver,", "--version", "-reportonly ", "-json=<file>", "\"-df=C:\\My Files\\x.dat\"",
                             "-df=\"C:\\My Files\\x.dat\""})
        EXPECT_NE(std::string::npos, usage.find(word)) << word;
    for (const char* code : {"\r\n  0 ", "\r\n  1 ", "\r\n  3 ", "\r\n  9 ", "\r\n  10 ", "\r\n  12 "})
        EXPECT_NE(std::string::npos, usage.find(code)) << code;
    EXPECT_EQ(usage.size() - 2, usage.rfind("\r\n"));
}

}  // namespace
