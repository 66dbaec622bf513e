// The memory passes and the run report: a report-only run finds what a
// real run finds and leaves every target as it was (alive, ticking, its
// memory and modules unchanged), saying in one line each what it would have
// done; the JSON report holds one item per thing acted on, in either run.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <set>
#include <string>
#include <vector>

#include "script/json.h"
#include "support/target_fixture_win.h"
#include "support/wine_support.h"
#include "target_control_win.h"
#include "target_protocol.h"

using json = nlohmann::json;

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kTargetExe[] = "C:\\mendrix\\memory_target.exe";

std::string Cleaner(const std::string& memory) {
    return "<CLEANER DataFile=\"Memory.Report\" Version=\"1\" Type=\"Virus\"><IDENTITY GenericName=\"MemTest\">"
           "<MEMORY>" + memory + "</MEMORY></IDENTITY></CLEANER>";
}

bool Alive(const Target& target) {
    DWORD code = 0;
    return !TargetEnded(target, &code);
}

std::string FoundLine(int n) { return "\tProcesses found                     : " + std::to_string(n) + "\r\n"; }
std::string EndedLine(int n) { return "\tProcesses terminated or disinfected : " + std::to_string(n) + "\r\n"; }

// The items of a parsed report of the given kind, in report order.
std::vector<json> ItemsOf(const json& report, const char* list, const std::string& kind) {
    std::vector<json> found;
    if (!report.is_object() || !report.contains(list) || !report[list].is_array()) return found;
    for (const json& item : report[list])
        if (item.is_object() && item.value("kind", "") == kind) found.push_back(item);
    return found;
}

// The threads the items name, in no particular order.
std::set<uint32_t> ThreadIds(const std::vector<json>& items) {
    std::set<uint32_t> ids;
    for (const json& item : items) ids.insert(item.value("threadId", 0u));
    return ids;
}
std::set<uint32_t> LibraryThreads(const Target& t) { return {t.Number("libthreads", 0), t.Number("libthreads", 1)}; }

class MemoryReport : public TargetFixture {
protected:
    void SetUp() override {
        TargetFixture::SetUp();
        jsonPath = folder + "\\report.json";
    }

    ProcessResult Run(const std::string& xml, bool reportOnly, const std::string& options = "") {
        std::string dat = folder + "\\memory.dat";
        EXPECT_TRUE(BuildDataFile(xml, dat));
        RemoveFile(jsonPath);
        return RunProgram(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc -json=" + jsonPath +
                          (reportOnly ? " -reportonly " : " ") + options);
    }

    json Report() {
        json report = json::parse(ReadWholeFile(jsonPath), nullptr, false);
        EXPECT_FALSE(report.is_discarded()) << ReadWholeFile(jsonPath);
        return report;
    }

    std::string jsonPath;
};

// Whole-process keywords: the found lines and counters of a real run, one
// "Would" line per action in place of the action's own lines, and the
// target as it was.
TEST_F(MemoryReport, ReportOnlyLeavesTheProcessAsItWas) {
    std::string other = "C:\\mendrix\\other_target.exe";
    ASSERT_TRUE(CopyFileA(kTargetExe, other.c_str(), FALSE));
    struct Row {
        int row;
        std::string records;
        std::vector<std::string> would;  // %u: the target's process ID
        bool foundLine;                  // "found in process" is written
        int found;
    } rows[] = {
        {1, "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>kill</ACTION></PROCESS>",
         {"Would terminate process memory_target.exe (process ID %u)\r\n"}, true, 1},
        {2, "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>forcekill</ACTION></PROCESS>",
         {"Would terminate process memory_target.exe (process ID %u)\r\n"}, true, 1},
        {3, "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>restart</ACTION></PROCESS>",
         {"Would terminate process memory_target.exe (process ID %u)\r\n",
          "Would restart C:\\mendrix\\memory_target.exe\r\n"},
         false, 1},
        // The suspension pass runs because the forcekill is pending; the
        // other target stays alive too.
        {4, "<PROCESS ProcessName=\"other_target.exe\"><ACTION>forcekill</ACTION></PROCESS>"
            "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>suspendandresume</ACTION></PROCESS>",
         {"Would suspend process memory_target.exe (process ID %u) for the length of the run\r\n",
          "Would terminate process other_target.exe"},
         false, 1},  // found: the forcekill's target; suspending counts nothing
        {5, "<PROCESS ProcessName=\"memory_target.exe\" dll=\"target_lib.dll\">"
            "<ACTION parameters=\"4A1,12,34\">PostThreadMessage</ACTION></PROCESS>",
         {"Would post message 0x4A1 to the threads of process memory_target.exe (process ID %u)\r\n"}, false, 0},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        Target& victim = Start(other);
        ProcessResult result = Run(Cleaner(r.records), true, "-v");
        EXPECT_EQ(0u, result.exitCode) << "row " << r.row << result.output;
        for (const std::string& line : r.would) {
            char expected[256];
            snprintf(expected, sizeof expected, line.c_str(), static_cast<unsigned>(t.pid()));
            EXPECT_EQ(1u, CountOf(result.output, expected)) << "row " << r.row << " " << expected << result.output;
        }
        EXPECT_EQ(r.would.size(), CountOf(result.output, "Would ")) << "row " << r.row << result.output;
        EXPECT_EQ(r.foundLine, result.output.find("found in process memory_target.exe\r\n") != std::string::npos)
            << "row " << r.row << result.output;
        for (const char* said : {"Terminating process", "successfully terminated", "Suspending process",
                                 "restarted", "Report-only run: nothing"})
            EXPECT_EQ(std::string(said) == "Report-only run: nothing", result.output.find(said) != std::string::npos)
                << "row " << r.row << " " << said << result.output;
        EXPECT_NE(std::string::npos, result.output.find(FoundLine(r.found) + EndedLine(0)))
            << "row " << r.row << result.output;
        EXPECT_TRUE(Alive(t)) << "row " << r.row;
        EXPECT_TRUE(Alive(victim)) << "row " << r.row;
        EXPECT_TRUE(Ticking(t)) << "row " << r.row;
        Sleep(200);  // a posted message would have reached the target by now
        EXPECT_EQ(std::string::npos, TargetReport(t).find("message")) << "row " << r.row << TargetReport(t);
        EXPECT_EQ(std::string::npos, TargetReport(t).find("detach")) << "row " << r.row;
        StopTarget(&t);
        StopTarget(&victim);
    }
}

// Memory and thread work: nothing written, no thread ended or suspended,
// no library released. A "stack" pattern is read from the running thread,
// which is not suspended for it.
TEST_F(MemoryReport, ReportOnlyPatchesNothingAndLeavesTheThreadsRunning) {
    const unsigned char signature[] = TARGET_STACK_SIGNATURE;
    struct Row {
        int row;
        bool thread;  // a THREAD record
        std::string pattern;
        const char* keyword;
        const char* would;  // %u: the target's process ID
        size_t lines;
        int found;
    } rows[] = {
        {1, false, "", "write", "Would patch the memory of process memory_target.exe (process ID %u)\r\n", 1, 1},
        {2, true, "start", "kill", "Would terminate thread ", 2, 1},
        {3, true, "stack", "suspend", "Would suspend thread ", 2, 0},
        {4, true, "stack", "kill", "Would terminate thread ", 2, 1},
        {5, true, "start", "write", "Would patch the memory of process memory_target.exe for thread ", 2, 1},
        {6, false, "", "eject", "Would terminate thread ", 2, 1},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        ASSERT_TRUE(Ticking(t));
        unsigned char start[8], slot[16], slotAfter[16];
        ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
        ASSERT_TRUE(ReadTarget(t, t.Address("slot"), slot, sizeof slot));
        std::string pattern = r.pattern == "stack"
            ? "<PATTERN origin=\"stack\" type=\"forwards\" length=\"4000\">" +
                  HexBytes(signature, sizeof signature) + "</PATTERN>"
            : r.pattern == "start" ? "<PATTERN>" + HexBytes(start, sizeof start) + "</PATTERN>" : "";
        std::string xml;
        if (!r.thread && std::string(r.keyword) == "write")
            xml = "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>write<PATCH offset=\"" +
                  Offset(static_cast<int64_t>(t.Address("slot") - t.Address("exe"))) +
                  "\">DE AD BE EF</PATCH></ACTION></PROCESS>";
        else if (!r.thread)
            xml = "<PROCESS ProcessName=\"memory_target.exe\"><ACTION dll=\"target_lib.dll\">eject</ACTION></PROCESS>";
        else
            // A write would put a tick count far above any the threads reach.
            xml = "<THREAD ProcessName=\"memory_target.exe\">" + pattern + "<ACTION>" + r.keyword +
                  (std::string(r.keyword) == "write"
                       ? "<PATCH offset=\"" + Offset(static_cast<int64_t>(t.Address("ticks") - t.Address("start"))) +
                             "\">00 00 00 40</PATCH>"
                       : std::string()) +
                  "</ACTION></THREAD>";
        ProcessResult result = Run(Cleaner(xml), true, "-v");
        char expected[256];
        snprintf(expected, sizeof expected, r.would, static_cast<unsigned>(t.pid()));
        EXPECT_EQ(r.lines, CountOf(result.output, expected)) << "row " << r.row << result.output;
        if (std::string(r.keyword) == "eject") {
            EXPECT_EQ(1u, CountOf(result.output, "Would release target_lib.dll from process memory_target.exe\r\n"))
                << result.output;
            EXPECT_TRUE(TargetHasModule(t, "target_lib.dll"));
        }
        for (const char* said : {"Terminated thread", "Released", "Could not release", "Could not terminate"})
            EXPECT_EQ(std::string::npos, result.output.find(said)) << "row " << r.row << " " << said << result.output;
        EXPECT_NE(std::string::npos, result.output.find(FoundLine(r.found) + EndedLine(0)))
            << "row " << r.row << result.output;
        ASSERT_TRUE(ReadTarget(t, t.Address("slot"), slotAfter, sizeof slotAfter));
        EXPECT_EQ(0, memcmp(slot, slotAfter, sizeof slot)) << "row " << r.row;
        EXPECT_LT(TargetTicks(t), 0x40000000) << "row " << r.row;
        EXPECT_TRUE(Ticking(t)) << "row " << r.row;
        EXPECT_TRUE(Alive(t)) << "row " << r.row;
        StopTarget(&t);
    }
}

// One item per thing acted on, in the JSON report of a real run and of a
// report-only one: the process, each thread, the library.
TEST_F(MemoryReport, TheJsonReportHoldsOneItemPerThingActedOn) {
    struct Kind {
        const char* kind;  // null: no more
        const char* action;
        size_t count;
    };
    const char* kill = "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>kill</ACTION></PROCESS>";
    const char* eject =
        "<PROCESS ProcessName=\"memory_target.exe\"><ACTION dll=\"target_lib.dll\">eject</ACTION></PROCESS>";
    struct Row {
        int row;
        const char* records;
        bool reportOnly;
        Kind kinds[2];
        bool endsTarget;
    } rows[] = {
        {1, kill, false, {{"process", "kill", 1}, {}}, true},
        {2, kill, true, {{"process", "kill", 1}, {}}, false},
        {3, "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>write</ACTION></PROCESS>", true,
         {{"process", "write", 1}, {}}, false},
        {4, eject, false, {{"thread", "eject", 2}, {"library", "eject", 1}}, false},
        {5, eject, true, {{"thread", "eject", 2}, {"library", "eject", 1}}, false},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        Run(Cleaner(r.records), r.reportOnly);
        json report = Report();
        for (const Kind& k : r.kinds) {
            if (!k.kind) continue;
            std::string kind = k.kind;
            std::vector<json> items = ItemsOf(report, "items", kind);
            ASSERT_EQ(k.count, items.size()) << "row " << r.row << " " << kind << report.dump(2);
            for (const json& item : items) {
                EXPECT_EQ(k.action, item.value("action", "")) << "row " << r.row;
                EXPECT_EQ(r.reportOnly ? "wouldDo" : "done", item.value("outcome", "")) << "row " << r.row;
                EXPECT_EQ(t.pid(), item.value("processId", 0u)) << "row " << r.row;
                EXPECT_EQ(0u, item.value("error", 1u)) << "row " << r.row;
                EXPECT_EQ(kind == "library" ? "target_lib.dll" : "memory_target.exe", item.value("subject", ""))
                    << "row " << r.row;
                EXPECT_EQ(kind == "thread" ? "target_lib.dll" : "memory_target.exe", item.value("matched", ""))
                    << "row " << r.row;
            }
            if (kind == "thread") {
                EXPECT_EQ(LibraryThreads(t), ThreadIds(items)) << "row " << r.row;
            }
        }
        EXPECT_EQ(r.reportOnly, report["run"].value("reportOnly", !r.reportOnly)) << "row " << r.row;
        EXPECT_EQ(r.endsTarget, !Alive(t)) << "row " << r.row;
        StopTarget(&t);
    }
}

// THREAD records: one item per thread, with its thread ID; a report-only
// run counts the threads found and none terminated.
TEST_F(MemoryReport, ThreadItemsNameTheirThreads) {
    for (bool reportOnly : {true, false}) {
        Target& t = Start();
        unsigned char start[8];
        ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
        Run(Cleaner("<THREAD ProcessName=\"memory_target.exe\" dll=\"target_lib.dll\"><PATTERN>" +
                    HexBytes(start, sizeof start) + "</PATTERN><ACTION>kill</ACTION></THREAD>"),
            reportOnly);
        json report = Report();
        std::vector<json> items = ItemsOf(report, "items", "thread");
        ASSERT_EQ(2u, items.size()) << report.dump(2);
        EXPECT_EQ(LibraryThreads(t), ThreadIds(items));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(t.pid(), items[i].value("processId", 0u));
            EXPECT_EQ("kill", items[i].value("action", ""));
            EXPECT_EQ("memory_target.exe (dll target_lib.dll)", items[i].value("matched", ""));
            EXPECT_EQ(reportOnly ? "wouldDo" : "done", items[i].value("outcome", ""));
        }
        const json& counters = report["counters"];
        EXPECT_EQ(2, counters.value("threadsFound", -1)) << reportOnly;
        EXPECT_EQ(reportOnly ? 0 : 2, counters.value("threadsTerminated", -1)) << reportOnly;
        EXPECT_EQ(1, counters.value("processesFound", -1)) << reportOnly;
        EXPECT_EQ(reportOnly ? 0 : 1, counters.value("processesTerminated", -1)) << reportOnly;
        EXPECT_EQ(reportOnly, Ticking(t)) << reportOnly;
        StopTarget(&t);
    }
}

#if UINTPTR_MAX > 0xFFFFFFFFu
// A 32-bit process whose modules the 64-bit program cannot read (under
// Wine 8) is named among those not examined, and the report is not
// complete.
TEST_F(MemoryReport, AProcessWhoseModulesCannotBeReadIsNotExamined) {
    const std::string x86 = "C:\\mendrix\\x86";
    ASSERT_TRUE(Install32BitTargetFiles(x86));
    Target& t = Start(x86 + "\\memory_target.exe");
    Run(Cleaner("<PROCESS ProcessName=\"absent.exe\"><ACTION>kill</ACTION></PROCESS>"), true);
    json report = Report();
    bool named = false;
    for (const json& item : ItemsOf(report, "notExamined", "process"))
        if (item.value("processId", 0u) == t.pid()) {
            named = true;
            EXPECT_EQ("process ID " + std::to_string(t.pid()), item.value("subject", ""));
            EXPECT_EQ("its modules could not be enumerated", item.value("reason", ""));
        }
    EXPECT_TRUE(named) << report.dump(2);
    EXPECT_FALSE(report.value("complete", true));
}
#endif

// Windows 98: the terminate pass's own work (and RegisterServiceProcess)
// is left out the same way.
class Windows98Report : public MemoryReport {
protected:
    void SetUp() override {
        MemoryReport::SetUp();
        PretendWindows98("mendrix-cli.exe", true);
    }
    void TearDown() override {
        PretendWindows98("mendrix-cli.exe", false);
        MemoryReport::TearDown();
    }
};

TEST_F(Windows98Report, ReportOnlyKillAndPostLeaveTheProcessAlone) {
    Target& t = Start();
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\"><ACTION>kill</ACTION></PROCESS>"
                                  "<PROCESS ProcessName=\"memory_target.exe\">"
                                  "<ACTION parameters=\"4A2\">PostThreadMessage</ACTION></PROCESS>"),
                          true);
    EXPECT_EQ(1u, CountOf(r.output, "Would terminate process memory_target.exe (process ID " +
                                        std::to_string(t.pid()) + ")\r\n"))
        << r.output;
    EXPECT_EQ(1u, CountOf(r.output, "Would post message 0x4A2 to the threads of process memory_target.exe"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(0))) << r.output;
    EXPECT_TRUE(Alive(t));
    Sleep(200);
    EXPECT_EQ(std::string::npos, TargetReport(t).find("message")) << TargetReport(t);
    std::vector<json> items = ItemsOf(Report(), "items", "process");
    ASSERT_EQ(2u, items.size());
    for (const json& item : items) EXPECT_EQ("wouldDo", item.value("outcome", ""));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
