// SetScannerState against the stand-in scanner driver, installed as a kernel
// service in the test prefix. Every row runs its calls in a child process of
// its own (this program, started with --scanner-calls), since a suspend keeps
// its device open until the program ends; a copy of the program registered
// as Windows 98 takes the 9x device and codes.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "disk/scanner.h"
#include "standin_control_win.h"
#include "support/wine_support.h"
#include "win98_bridge_win.h"

namespace {
constexpr char kDriverPath[] = "C:\\mendrix\\scanner_standin.sys";
constexpr char kNineExe[] = "C:\\mendrix\\scanner_test_9x.exe";
constexpr char kNineKey[] = "Software\\Wine\\AppDefaults\\scanner_test_9x.exe";

constexpr uint32_t kInvalidRequest = 0xC0000010;  // ERROR_INVALID_FUNCTION
constexpr uint32_t kNameNotFound = 0xC0000034;    // ERROR_FILE_NOT_FOUND

// Child side: "s" suspends, "r" resumes, "m" marks the driver's log. Prints
// the platform and each answer.
int RunCalls(const char* calls) {
    bool nine = (GetVersion() & 0x80000000) != 0;
    printf("platform %d:", nine ? 1 : 2);
    if (nine && !InstallWin98Bridge()) printf(" no-bridge");
    for (const char* c = calls; *c; ++c) {
        if (*c == 's') printf(" %d", SetScannerState(0));
        if (*c == 'r') printf(" %d", SetScannerState(1));
        if (*c == 'm') printf(MarkStandInLog() ? " m" : " no-mark");
    }
    fflush(stdout);
    return 0;
}

std::string ThisProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

class StandInEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(ExtractStandInDriver(kDriverPath));
        DWORD start = GetTickCount();
        ASSERT_TRUE(StartStandInDriver(kDriverPath));
        printf("stand-in driver installed and started in %lu ms\n", GetTickCount() - start);
        ASSERT_TRUE(CopyFileA(ThisProgram().c_str(), kNineExe, FALSE));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kNineKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &key, nullptr));
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
        RegCloseKey(key);
    }
    void TearDown() override {
        StopStandInDriver();
        RegDeleteKeyA(HKEY_CURRENT_USER, kNineKey);
    }
};

struct Row {
    int number;
    const char* calls;
    bool unreachable;  // the device's names lead to a missing path
    uint32_t refusedCode, refuseStatus;
    uint32_t firstAnswer, secondWord;  // the 4-byte version answer; the second word of the 8-byte one
    bool shortAnswer;
    const char* results;
    // What reached the driver up to the child's last mark, then the files
    // closed when it ended, in order of their numbers.
    std::vector<std::string> events;
};

struct Outcome {
    std::string results;
    std::vector<std::string> events;
};

Outcome RunRow(const std::string& program, const Row& row) {
    StandInBehaviour behaviour = {};
    behaviour.unreachable = row.unreachable;
    behaviour.refusedCodes[0] = row.refusedCode;
    behaviour.refuseStatus = row.refuseStatus;
    behaviour.firstAnswer = row.firstAnswer;
    behaviour.pairAnswer[1] = row.secondWord;
    behaviour.shortAnswer = row.shortAnswer;
    Outcome outcome;
    std::vector<StandInEvent> events;
    if (!SetStandInBehaviour(behaviour) || !ReadStandInLog(&events)) {
        outcome.results = "stand-in driver not answering";
        return outcome;
    }
    outcome.results = RunProgram(program + " --scanner-calls " + row.calls).output;
    if (!ReadStandInLog(&events)) outcome.results += " (log lost)";
    // Number the opens of this row from 1, in the order the driver saw them.
    std::vector<uint32_t> opens;
    for (StandInEvent& e : events) {
        if (e.kind == STANDIN_OPEN) opens.push_back(e.file);
        auto known = std::find(opens.begin(), opens.end(), e.file);
        e.file = known == opens.end() ? 0 : static_cast<uint32_t>(known - opens.begin() + 1);
        outcome.events.push_back(DescribeStandInEvent(e));
    }
    auto lastMark = std::find(outcome.events.rbegin(), outcome.events.rend(), "mark").base();
    std::sort(lastMark, outcome.events.end());
    return outcome;
}

void CheckRows(const std::string& program, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.number));
        Outcome outcome = RunRow(program, row);
        EXPECT_EQ(row.results, outcome.results);
        EXPECT_EQ(row.events, outcome.events);
    }
}

class ScannerDriver : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartStandInDriver(kDriverPath)); }
};

// The NT device: read-write opens shared for reading and writing, requests
// with no buffers, and no version check whatever the driver would answer.
TEST_F(ScannerDriver, WindowsNt) {
    const char* open1 = "open #1 share 3";
    const char* open2 = "open #2 share 3";
    const char* suspend1 = "#1 87A32408 in 0 out 0";
    const char* suspend2 = "#2 87A32408 in 0 out 0";
    CheckRows(ThisProgram(), {
        // A suspend's device stays open past a later resume, to the end of the program.
        {1, "smrm", false, 0, 0, 0, 0, false, "platform 2: 0 m 0 m",
         {open1, suspend1, "mark", open2, "#2 87A32410 in 0 out 0", "close #2", "mark", "close #1"}},
        // Each call has a client of its own: callers must not suspend twice.
        {2, "ssm", false, 0, 0, 0, 0, false, "platform 2: 0 0 m",
         {open1, suspend1, open2, suspend2, "mark", "close #1", "close #2"}},
        {3, "rm", false, 0, 0, 0, 0, false, "platform 2: 0 m", {open1, "#1 87A32410 in 0 out 0", "close #1", "mark"}},
        // A refused suspend holds nothing open, so retries leave no handles behind.
        {4, "smsm", false, 0x87A32408, kInvalidRequest, 0, 0, false, "platform 2: -1 m -1 m",
         {open1, "#1 87A32408 in 0 out 0 refused C0000010", "close #1", "mark", open2,
          "#2 87A32408 in 0 out 0 refused C0000010", "close #2", "mark"}},
        {5, "rm", false, 0x87A32410, kInvalidRequest, 0, 0, false, "platform 2: -1 m",
         {open1, "#1 87A32410 in 0 out 0 refused C0000010", "close #1", "mark"}},
        // Opening fails for a reason other than a missing driver.
        {6, "srm", true, 0, 0, 0, 0, false, "platform 2: -1 -1 m", {"mark"}},
        // The driver's own "not found" is a refusal, not an absent driver.
        {7, "sm", false, 0x87A32408, kNameNotFound, 0, 0, false, "platform 2: -1 m",
         {open1, "#1 87A32408 in 0 out 0 refused C0000034", "close #1", "mark"}},
        {8, "sm", false, 0, 0, 0x41A, 0x41A, false, "platform 2: 0 m", {open1, suspend1, "mark", "close #1"}},
    });
}

// The 9x device: opened with no access and removed on close; the version
// query comes before each request, once from the sequence and once from the
// request itself, with a second, 8-byte query unless the first answer is one
// of the two old ones.
TEST_F(ScannerDriver, Windows9x) {
    const char* open1 = "open #1 share 0 delete-on-close";
    const char* open2 = "open #2 share 0 delete-on-close";
    const char* short1 = "#1 7D004000 in 0 out 4 -> 4";
    const char* long1 = "#1 7D004000 in 0 out 8 -> 8";
    const char* suspend1 = "#1 7D004018 in 0 out 0";
    const std::vector<std::string> oldDriver = {open1, short1, short1, suspend1, "mark", "close #1"};
    const std::vector<std::string> newDriver = {open1, short1, long1, short1, long1, suspend1, "mark", "close #1"};
    const std::vector<std::string> tooNew = {open1,  short1, long1, "close #1", "mark", open2,
                                             "#2 7D004000 in 0 out 4 -> 4", "#2 7D004000 in 0 out 8 -> 8",
                                             "close #2", "mark"};
    CheckRows(kNineExe, {
        // The old first answers stand for version 0x20A; the second word is never asked for.
        {1, "sm", false, 0, 0, 0x80000, 0x41A, false, "platform 1: 0 m", oldDriver},
        {2, "sm", false, 0, 0, 0x20A, 0x41A, false, "platform 1: 0 m", oldDriver},
        {3, "sm", false, 0, 0, 0x300, 0x300, false, "platform 1: 0 m", newDriver},
        {4, "sm", false, 0, 0, 0x41A, 0x419, false, "platform 1: 0 m", newDriver},
        {5, "smsm", false, 0, 0, 0x41A, 0x41A, false, "platform 1: -1 m -1 m", tooNew},
        {6, "rm", false, 0, 0, 0x80000, 0, false, "platform 1: 0 m",
         {open1, short1, short1, "#1 7D00401C in 0 out 0", "close #1", "mark"}},
        {7, "srm", false, 0, 0, 0x80000, 0, false, "platform 1: 0 0 m",
         {open1, short1, short1, suspend1, open2, "#2 7D004000 in 0 out 4 -> 4", "#2 7D004000 in 0 out 4 -> 4",
          "#2 7D00401C in 0 out 0", "close #2", "mark", "close #1"}},
        // An answer shorter than asked is no answer.
        {8, "sm", false, 0, 0, 0x80000, 0, true, "platform 1: -1 m", {open1, "#1 7D004000 in 0 out 4 -> 3", "close #1", "mark"}},
        {9, "sm", false, 0x7D004000, kInvalidRequest, 0x80000, 0, false, "platform 1: -1 m",
         {open1, "#1 7D004000 in 0 out 4 refused C0000010", "close #1", "mark"}},
        {10, "sm", false, 0x7D004018, kInvalidRequest, 0x80000, 0, false, "platform 1: -1 m",
         {open1, short1, short1, "#1 7D004018 in 0 out 0 refused C0000010", "close #1", "mark"}},
        {11, "sm", true, 0, 0, 0x80000, 0, false, "platform 1: -1 m", {"mark"}},
    });
}

// With no driver installed both devices are missing: nothing to suspend or
// resume, and both requests succeed.
// A whole run of the console front end with two DISK elements: the scanner
// is suspended at the first, not again at the second, and resumed once at
// the end; a driver that refuses is asked again at every DISK element.
std::vector<std::string> RunTwoDisks(const StandInBehaviour& behaviour, std::string* output) {
    std::string folder = MakeScratchFolder("two-disks");
    std::string disk = "<DISK><DIRECTORY>" + folder + "</DIRECTORY><FILE FileName=\"none.txt\"/></DISK>";
    std::string dat = folder + "\\two.dat";
    std::vector<std::string> described;
    std::vector<StandInEvent> events;
    if (!BuildDataFile("<CLEANER DataFile=\"S\"><IDENTITY>" + disk + disk + "</IDENTITY></CLEANER>", dat) ||
        !SetStandInBehaviour(behaviour) || !ReadStandInLog(&events))
        return described;
    *output = RunProgram("C:\\mendrix\\mendrix-cli.exe -noc -df=" + dat + " -lf=" + folder + "\\run.log").output;
    if (!ReadStandInLog(&events)) return described;
    for (const StandInEvent& e : events) {
        std::string line = DescribeStandInEvent(e);
        described.push_back(line.substr(0, line.find(" in ")));  // code and outcome, not the file numbers
    }
    return described;
}

TEST_F(ScannerDriver, RunWithTwoDisksSuspendsOnceAndResumesOnce) {
    std::string output;
    StandInBehaviour willing = {};
    std::vector<std::string> events = RunTwoDisks(willing, &output);
    std::vector<std::string> requests;
    for (const std::string& e : events)
        if (e.find("87A324") != std::string::npos) requests.push_back(e.substr(e.find(' ') + 1));
    EXPECT_EQ((std::vector<std::string>{"87A32408", "87A32410"}), requests) << output;
    EXPECT_EQ(std::string::npos, output.find("Could not disable")) << output;

    StandInBehaviour refusing = {};
    refusing.refusedCodes[0] = 0x87A32408;
    refusing.refuseStatus = kInvalidRequest;
    events = RunTwoDisks(refusing, &output);
    requests.clear();
    for (const std::string& e : events)
        if (e.find("87A324") != std::string::npos) requests.push_back(e.substr(e.find(' ') + 1));
    EXPECT_EQ((std::vector<std::string>{"87A32408", "87A32408"}), requests) << "no resume after a refused suspend";
    size_t first = output.find("\r\nCould not disable Vigilox\r\n");
    ASSERT_NE(std::string::npos, first) << output;
    EXPECT_NE(std::string::npos, output.find("\r\nCould not disable Vigilox\r\n", first + 1)) << output;
}

TEST(NoScannerDriver, SuspendAndResumeSucceed) {
    ASSERT_TRUE(StopStandInDriver());
    const struct {
        int number;
        std::string program;
        const char* results;
    } rows[] = {
        {1, ThisProgram(), "platform 2: 0 0 no-mark"},
        {2, kNineExe, "platform 1: 0 0 no-mark"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.number));
        EXPECT_EQ(row.results, RunProgram(row.program + " --scanner-calls srm").output);
    }
    EXPECT_TRUE(StartStandInDriver(kDriverPath));
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--scanner-calls") == 0) return RunCalls(argv[2]);
    ::testing::AddGlobalTestEnvironment(new StandInEnvironment);
    return RunAllTests(argc, argv);
}
