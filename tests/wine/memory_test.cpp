// Memory cleaning end to end: the console program run against target
// processes of our own (tests/standin/memory_target), on the NT family and,
// through Wine's per-program version, on Windows 98. What each keyword does
// is checked on the target itself: its exit code, what it reports, its
// memory, its modules and whether its threads still run.
#include <windows.h>
#include <gtest/gtest.h>

#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>
#include <set>
#include <string>
#include <vector>

#include "memory/memory_pass_win.h"
#include "memory/process_calls_win.h"
#include "memory/process_match.h"
#include "memory/process_record.h"
#include "memory/system_api_win.h"
#include "memory/thread_control_win.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "support/target_fixture_win.h"
#include "support/wine_support.h"
#include "target_control_win.h"
#include "target_protocol.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kTargetExe[] = "C:\\mendrix\\memory_target.exe";

std::string Cleaner(const std::string& memory, const char* type = "Virus") {
    return std::string("<CLEANER DataFile=\"Memory.Test\" Version=\"1\" Type=\"") + type +
           "\"><IDENTITY GenericName=\"MemTest\"><MEMORY>" + memory + "</MEMORY></IDENTITY></CLEANER>";
}

// Runs a command without handing it our output pipe: a program it starts
// (a restarted target) would hold the pipe open long after it ends.
DWORD RunAlone(const std::string& command) {
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return 0xFFFFFFFFu;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFFu;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

bool WaitFor(const Target& target, const std::string& piece, int milliseconds = 5000) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (TargetReport(target).find(piece) != std::string::npos) return true;
        Sleep(50);
    }
    return false;
}

std::string FoundLine(int n) { return "\tProcesses found                     : " + std::to_string(n) + "\r\n"; }
std::string EndedLine(int n, bool virus = true) {
    return std::string(virus ? "\tProcesses terminated or disinfected : " : "\tProcesses terminated                : ") +
           std::to_string(n) + "\r\n";
}

// A record as the MEMORY element builds it, put before next.
ProcessRecord* NewRecord(const char* name, const char* keyword, bool isProcess, ProcessRecord* next) {
    ProcessRecord* r = static_cast<ProcessRecord*>(calloc(1, sizeof(ProcessRecord)));
    r->processName = _strdup(name);
    r->typeName = _strdup("Virus");
    r->isProcess = isProcess;
    r->action = NewActionRecord();
    r->action->keyword = _strdup(keyword);
    r->next = next;
    return r;
}

// How many processes of that module name run.
int RunningCount(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, name) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

// Stand-ins for the process calls around the system's own: a process
// whose ID is taken over between the match and the passes (the match reads
// each process's creation time first; every later read meets another
// process under the same ID), or one that ran under another account.
struct StandIn {
    bool takeOver;
    bool otherAccount;
    std::set<DWORD> read;
} g_standIn;

HANDLE StandInOpen(DWORD access, uint32_t processId) { return kSystemProcessCalls.open(access, processId); }

uint64_t StandInCreationTime(HANDLE process) {
    typedef DWORD(WINAPI * GetProcessIdFn)(HANDLE);
    static GetProcessIdFn idOf =
        reinterpret_cast<GetProcessIdFn>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessId"));
    uint64_t time = kSystemProcessCalls.creationTime(process);
    if (!g_standIn.takeOver) return time;
    return g_standIn.read.insert(idOf(process)).second ? time : time + 1;
}

bool StandInSameAccount(HANDLE process) {
    return !g_standIn.otherAccount && kSystemProcessCalls.sameAccount(process);
}

const ProcessCalls kStandInCalls = {StandInOpen, StandInCreationTime, StandInSameAccount};

std::string g_passLog;
void KeepMessage(OutHandle, const char* bytes, size_t count) { g_passLog.append(bytes, count); }
const MessageSinks kPassSinks = {KeepMessage, nullptr, nullptr, nullptr, nullptr};

// The memory pass of an NT run, inside this program, over the stand-ins;
// answers its log, verbose lines included. The counters and the run's
// items are left for the caller.
std::string RunPassInside(ProcessRecord* records, bool takeOver, bool otherAccount) {
    ReportState saved = g_report;
    g_report = ReportState{reinterpret_cast<OutHandle>(1), nullptr, nullptr,
                           SWITCH_DEFAULT_MESSAGES | SWITCH_VERBOSE, &kPassSinks};
    g_standIn = StandIn{takeOver, otherAccount, {}};
    g_processCalls = &kStandInCalls;
    g_passLog.clear();
    ResetCounters();
    FreeRunItems();
    g_actionsPending = 0;
    ParseContext context = {};
    context.flags = RUN_WINNT | RUN_IN_MEMORY;
    ScanMemory(&context, records);
    ResumeSuspendedProcesses(&context);
    ReleaseProcessApis();
    g_processCalls = &kSystemProcessCalls;
    g_report = saved;
    return g_passLog;
}

class MemoryTest : public TargetFixture {
protected:
    ProcessResult Run(const std::string& xml, const std::string& options = "") {
        std::string dat = folder + "\\memory.dat";
        EXPECT_TRUE(BuildDataFile(xml, dat));
        return RunProgram(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc " + options);
    }

    uint64_t Relative(const Target& t, const char* key, const char* base = "exe") {
        return t.Address(key) - t.Address(base);
    }
};

// kill asks the process to exit from inside (its library sees the process
// detach), forcekill ends it from outside; both with exit code 1. The found
// line carries the type and the virus name when there is one.
TEST_F(MemoryTest, KillAndForcekillEndTheProcessAndReportIt) {
    struct Row {
        int row;
        const char* keyword;
        const char* attributes;
        const char* type;
        const char* foundLine;
        bool fromInside;
    } rows[] = {
        {1, "kill", " VirusName=\"Stand.In\"", "Virus", "\r\nVirus Stand.In found in process memory_target.exe\r\n",
         true},
        {2, "forcekill", " VirusName=\"\"", "Worm", "\r\nWorm found in process memory_target.exe\r\n", false},
        {3, "kill", " VirusName=\"\" TypeName=\"Pest\"", "Trojan", "\r\nPest found in process memory_target.exe\r\n",
         true},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        ProcessResult result = Run(Cleaner(std::string("<PROCESS ProcessName=\"memory_target.exe\"") + r.attributes +
                                               "><ACTION>" + r.keyword + "</ACTION></PROCESS>",
                                           r.type));
        DWORD code = 0;
        ASSERT_TRUE(TargetEnded(t, &code)) << "row " << r.row << result.output;
        EXPECT_EQ(1u, code) << "row " << r.row;
        EXPECT_EQ(r.fromInside, TargetReport(t).find("detach exit") != std::string::npos) << "row " << r.row;
        EXPECT_NE(std::string::npos, result.output.find(r.foundLine)) << "row " << r.row << result.output;
        EXPECT_NE(std::string::npos, result.output.find("\r\nTerminating process memory_target.exe\r\n"));
        EXPECT_NE(std::string::npos, result.output.find("Process memory_target.exe successfully terminated\r\n"));
        bool virus = std::string(r.type) == "Virus";
        EXPECT_NE(std::string::npos, result.output.find(FoundLine(1) + EndedLine(1, virus))) << "row " << r.row
                                                                                                 << result.output;
        StopTarget(&t);
    }
}

TEST_F(MemoryTest, HeadingsAndCountersWithNothingFound) {
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"absent.exe\"><ACTION>kill</ACTION></PROCESS>"));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nChecking for MemTest in memory\r\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(0) + EndedLine(0))) << r.output;
    // The idle and system process identifiers are never opened.
    for (const char* id : {"ID: 0\r", "ID: 2\r", "ID: 4\r", "ID: 8\r"}) EXPECT_EQ(std::string::npos, r.output.find(id));
}

// Which records match a target: name, patterns at the executable or at the
// library, forward searches bounded by their length. A "write" without
// patches counts a match as found and disinfected, and changes nothing.
TEST_F(MemoryTest, NamesAndPatternsDecideTheMatch) {
    Target& t = Start();
    unsigned char entry[8] = {}, start[8] = {};
    uint32_t entryRva = 0;
    unsigned char headers[0x200];
    ASSERT_TRUE(ReadTarget(t, t.Address("exe"), headers, sizeof headers));
    uint32_t nt = *reinterpret_cast<uint32_t*>(headers + 0x3C);
    ASSERT_TRUE(ReadTarget(t, t.Address("exe") + nt + 0x28, &entryRva, 4));
    ASSERT_TRUE(ReadTarget(t, t.Address("exe") + entryRva, entry, sizeof entry));
    ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
    const unsigned char* marker = reinterpret_cast<const unsigned char*>(TARGET_MARKER);
    std::string markerBytes = HexBytes(marker, 16);
    std::string wrong = markerBytes.substr(0, markerBytes.size() - 3) + "00";
    std::string at = Offset(static_cast<int64_t>(Relative(t, "marker")));
    std::string before = Offset(static_cast<int64_t>(Relative(t, "marker")) - 0x40);

    struct Row {
        int row;
        std::string attributes;
        std::string patterns;
        int found;
    } rows[] = {
        {1, "ProcessName=\"MEMORY_TARGET.EXE\"", "", 1},
        {2, "ProcessName=\"C:\\mendrix\\memory_target.exe\"", "", 0},
        {3, "ProcessName=\"memory_target.exe\"", "<PATTERN offset=\"" + at + "\">" + markerBytes + "</PATTERN>", 1},
        {4, "ProcessName=\"memory_target.exe\"", "<PATTERN offset=\"" + at + "\">" + wrong + "</PATTERN>", 0},
        {5, "ProcessName=\"memory_target.exe\"",
         "<PATTERN offset=\"" + before + "\" type=\"forwards\" length=\"100\">" + markerBytes + "</PATTERN>", 1},
        {6, "ProcessName=\"memory_target.exe\"",
         "<PATTERN offset=\"" + before + "\" type=\"forwards\" length=\"3F\">" + markerBytes + "</PATTERN>", 0},
        {7, "ProcessName=\"memory_target.exe\"",
         "<PATTERN offset=\"" + before + "\" type=\"forwards\">" + markerBytes + "</PATTERN>", 0},
        {8, "ProcessName=\"memory_target.exe\"",
         "<PATTERN origin=\"ep\">" + HexBytes(entry, sizeof entry) + "</PATTERN>", 1},
        {9, "ProcessName=\"memory_target.exe\" dll=\"TARGET_LIB.DLL\"",
         "<PATTERN offset=\"" + Offset(static_cast<int64_t>(Relative(t, "start", "lib"))) + "\">" +
             HexBytes(start, sizeof start) + "</PATTERN>",
         1},
        {10, "ProcessName=\"memory_target.exe\" dll=\"absent.dll\"", "", 0},
        // Both patterns must stand; the second is wrong.
        {11, "ProcessName=\"memory_target.exe\"",
         "<PATTERN offset=\"" + at + "\">" + markerBytes + "</PATTERN><PATTERN offset=\"" + at + "\">" + wrong +
             "</PATTERN>",
         0},
    };
    for (const Row& r : rows) {
        ProcessResult result =
            Run(Cleaner("<PROCESS " + r.attributes + ">" + r.patterns + "<ACTION>write</ACTION></PROCESS>"));
        EXPECT_NE(std::string::npos, result.output.find(FoundLine(r.found) + EndedLine(r.found)))
            << "row " << r.row << result.output;
    }
    DWORD code = 0;
    EXPECT_FALSE(TargetEnded(t, &code));
}

// "write" puts bytes and a function's address into the target: at the
// executable's base plus the offset, and where a forward pattern was found.
TEST_F(MemoryTest, WritePatchesBytesAndAFunctionAddress) {
    Target& t = Start();
    std::string markerBytes = HexBytes(reinterpret_cast<const unsigned char*>(TARGET_MARKER), 16);
    int64_t slot = static_cast<int64_t>(Relative(t, "slot"));
    int64_t slotFromMarker = static_cast<int64_t>(t.Address("slot") - t.Address("marker"));
    ProcessResult r = Run(Cleaner(
        "<PROCESS ProcessName=\"memory_target.exe\">"
        "<PATTERN offset=\"" + Offset(static_cast<int64_t>(Relative(t, "marker")) - 0x20) +
        "\" type=\"forwards\" length=\"40\">" + markerBytes + "</PATTERN>"
        "<ACTION>write"
        "<PATCH offset=\"" + Offset(slot) + "\">DE AD BE EF</PATCH>"
        "<PATCH offset=\"" + Offset(slot + 8) + "\" function=\"GetTickCount\" dll=\"kernel32.dll\"/>"
        "<PATCH origin=\"pattern0\" offset=\"" + Offset(slotFromMarker + 16) + "\">5A A5</PATCH>"
        "</ACTION></PROCESS>"));
    unsigned char bytes[32] = {};
    ASSERT_TRUE(ReadTarget(t, t.Address("slot"), bytes, sizeof bytes));
    const unsigned char expected[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(0, memcmp(bytes, expected, 4)) << HexBytes(bytes, 32);
    void* function = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
    void* written = nullptr;
    memcpy(&written, bytes + 8, sizeof written);
    EXPECT_EQ(function, written);
    EXPECT_EQ(0x5A, bytes[16]);
    EXPECT_EQ(0xA5, bytes[17]);
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(1))) << r.output;
}

// A PATCH at a pattern that has no address (not a forward one) fails, and
// the PATCH records after it are not written.
TEST_F(MemoryTest, WriteStopsAtAPatchWithoutPlace) {
    Target& t = Start();
    std::string at = Offset(static_cast<int64_t>(Relative(t, "marker")));
    int64_t slot = static_cast<int64_t>(Relative(t, "slot"));
    ProcessResult r = Run(Cleaner(
        "<PROCESS ProcessName=\"memory_target.exe\"><PATTERN offset=\"" + at + "\">4D 44 58</PATTERN>"
        "<ACTION>write<PATCH origin=\"pattern0\">00</PATCH><PATCH offset=\"" + Offset(slot) + "\">77</PATCH>"
        "</ACTION></PROCESS>"));
    unsigned char first = 0;
    ASSERT_TRUE(ReadTarget(t, t.Address("slot"), &first, 1));
    EXPECT_EQ(1, first);
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(0))) << r.output;
}

// On NT the message goes to the threads that started in the record's
// library; the main thread gets none.
TEST_F(MemoryTest, PostThreadMessageReachesTheLibraryThreads) {
    Target& t = Start();
    Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\" dll=\"target_lib.dll\">"
                "<ACTION parameters=\"4A1,12,34\">PostThreadMessage</ACTION></PROCESS>"));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(WaitFor(t, "message " + std::to_string(t.Number("libthreads", i)) + " 4a1 12 34"))
            << TargetReport(t);
    EXPECT_EQ(std::string::npos, TargetReport(t).find("message " + std::to_string(t.Number("main")) + " "));
}

// The library's threads are ended, then the library is released by a
// routine run inside the target, which lives on.
TEST_F(MemoryTest, EjectReleasesTheLibrary) {
    Target& t = Start();
    ASSERT_TRUE(TargetHasModule(t, "target_lib.dll"));
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\">"
                                  "<ACTION dll=\"target_lib.dll\">eject</ACTION></PROCESS>"),
                          "-v");
    EXPECT_EQ(2u, CountOf(r.output, "Terminated thread\r\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nReleased target_lib.dll\r\n")) << r.output;
    EXPECT_TRUE(WaitFor(t, "detach unloaded")) << TargetReport(t);
    EXPECT_FALSE(TargetHasModule(t, "target_lib.dll"));
    DWORD code;
    EXPECT_FALSE(TargetEnded(t, &code));
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(1))) << r.output;
}

// A release routine held in the library's DllMain past the 10-second wait
// fails the release, and its code and block stay in the target: when it
// goes on, it finishes the release there and the target runs on.
TEST_F(MemoryTest, ARemoteRoutineThatOutlivesItsWaitLeavesTheTargetRunning) {
    ASSERT_TRUE(SetEnvironmentVariableA(TARGET_DETACH_DELAY, "14000"));
    Target& t = Start();
    SetEnvironmentVariableA(TARGET_DETACH_DELAY, nullptr);
    std::string json = folder + "\\report.json";
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\">"
                                  "<ACTION dll=\"target_lib.dll\">eject</ACTION></PROCESS>"),
                          "-v -json=" + json);
    EXPECT_EQ(2u, CountOf(r.output, "Terminated thread\r\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nCould not release target_lib.dll\r\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(0))) << r.output;
    std::string report = ReadWholeFile(json);
    EXPECT_NE(std::string::npos, report.find("\"kind\": \"library\"")) << report;
    EXPECT_NE(std::string::npos, report.find("\"error\": 258")) << report;  // WAIT_TIMEOUT
    EXPECT_NE(std::string::npos, TargetReport(t).find("detach held")) << TargetReport(t);
    DWORD code = 0;
    EXPECT_FALSE(TargetEnded(t, &code)) << code;
    EXPECT_TRUE(WaitFor(t, "detach unloaded", 20000)) << TargetReport(t);
    Sleep(500);  // the routine returns through its own code once the library is gone
    EXPECT_FALSE(TargetEnded(t, &code)) << std::hex << code;
    EXPECT_FALSE(TargetHasModule(t, "target_lib.dll"));
    uint32_t main = t.Number("main");
    ASSERT_TRUE(PostThreadMessageA(main, 0x4A3, 1, 2));
    EXPECT_TRUE(WaitFor(t, "message " + std::to_string(main) + " 4a3 1 2")) << TargetReport(t);
}

// THREAD records: patterns at each thread's start address or on its stack,
// optionally only for threads that started in a library.
TEST_F(MemoryTest, ThreadRecordsActOnTheThreadsThatMatch) {
    struct Row {
        int row;
        const char* attributes;
        bool stack;
        const char* keyword;
        bool libraryTicks;  // afterwards
        int threadsTerminated;
        int processesCounted;  // found, and terminated or disinfected
    } rows[] = {
        {1, "", false, "kill", false, 2, 1},
        {2, " dll=\"target_lib.dll\"", false, "kill", false, 2, 1},
        {3, "", true, "suspend", false, 0, 0},
        {4, " dll=\"absent.dll\"", false, "kill", true, 0, 0},
        // A THREAD that begins with "suspend" but is not "suspend" terminates.
        {5, "", false, "suspendandresume", false, 2, 1},
        // write: each matching thread is patched (here the tick counter,
        // which the threads go on counting from) and runs on.
        {6, "", false, "write", true, 0, 1},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        ASSERT_TRUE(Ticking(t));
        unsigned char start[8];
        ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
        const unsigned char signature[] = TARGET_STACK_SIGNATURE;
        std::string pattern = r.stack ? "<PATTERN origin=\"stack\" type=\"forwards\" length=\"4000\">" +
                                            HexBytes(signature, sizeof signature) + "</PATTERN>"
                                      : "<PATTERN>" + HexBytes(start, sizeof start) + "</PATTERN>";
        std::string patch = std::string(r.keyword) == "write"
            ? "<PATCH offset=\"" + Offset(static_cast<int64_t>(t.Address("ticks") - t.Address("start"))) +
                  "\">00 00 00 00</PATCH>"
            : "";
        ProcessResult result = Run(Cleaner(std::string("<THREAD ProcessName=\"memory_target.exe\"") + r.attributes +
                                           ">" + pattern + "<ACTION>" + r.keyword + patch + "</ACTION></THREAD>"),
                                   "-v");
        EXPECT_NE(std::string::npos,
                  result.output.find(FoundLine(r.processesCounted) + EndedLine(r.processesCounted)))
            << "row " << r.row << result.output;
        EXPECT_EQ(static_cast<size_t>(r.threadsTerminated), CountOf(result.output, "Terminated thread\r\n"))
            << "row " << r.row << result.output;
        EXPECT_EQ(r.libraryTicks, Ticking(t)) << "row " << r.row;
        DWORD code;
        EXPECT_FALSE(TargetEnded(t, &code)) << "row " << r.row;
        StopTarget(&t);
    }
}

// Processes are suspended for the run only when something else is pending
// (here a forcekill of another target); "suspend" keeps them suspended,
// "suspendandresume" resumes them at the end of the run.
TEST_F(MemoryTest, SuspendAndSuspendAndResume) {
    std::string other = "C:\\mendrix\\other_target.exe";
    ASSERT_TRUE(CopyFileA(kTargetExe, other.c_str(), FALSE));
    struct Row {
        int row;
        const char* keyword;
        bool withKill;
        bool ticksAfter;
        const char* said;
    } rows[] = {
        {1, "suspend", true, false, "Suspended successfully\r\n"},
        {2, "suspendandresume", true, true, "Suspended successfully\r\n"},
        {3, "suspend", false, true, nullptr},
    };
    for (const Row& r : rows) {
        Target& t = Start();
        Target& victim = Start(other);
        std::string kill = r.withKill
            ? "<PROCESS ProcessName=\"other_target.exe\"><ACTION>forcekill</ACTION></PROCESS>"
            : "";
        ProcessResult result = Run(Cleaner(kill + "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>" +
                                           r.keyword + "</ACTION></PROCESS>"),
                                   "-v");
        if (r.said)
            EXPECT_NE(std::string::npos, result.output.find("Suspending process memory_target.exe\r\n" +
                                                             std::string(r.said)))
                << "row " << r.row << result.output;
        else
            EXPECT_EQ(std::string::npos, result.output.find("Suspending process")) << "row " << r.row;
        EXPECT_EQ(r.ticksAfter, Ticking(t)) << "row " << r.row;
        StopTarget(&t);
        StopTarget(&victim);
    }
}

// restart ends the process and starts its program again from its path.
TEST_F(MemoryTest, RestartRunsTheProgramAgain) {
    Target& t = Start();
    std::string restarted = "C:\\mendrix\\memory_target.restarted";
    RemoveFile(restarted);
    std::string dat = folder + "\\memory.dat";
    ASSERT_TRUE(BuildDataFile(
        Cleaner("<PROCESS ProcessName=\"memory_target.exe\"><ACTION>restart</ACTION></PROCESS>"), dat));
    EXPECT_EQ(0u, RunAlone(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc"));
    std::string output = ReadWholeFile(log);
    DWORD code = 0;
    EXPECT_TRUE(TargetEnded(t, &code));
    EXPECT_EQ(std::string::npos, output.find("found in process")) << output;
    EXPECT_NE(std::string::npos, output.find("\r\nTerminating process memory_target.exe\r\n")) << output;
    EXPECT_NE(std::string::npos, output.find("\r\nProcess memory_target.exe restarted\r\n")) << output;
    std::string report;
    for (int i = 0; i < 100 && report.find("ready") == std::string::npos; ++i) {
        Sleep(50);
        report = ReadWholeFile(restarted);
    }
    ASSERT_NE(std::string::npos, report.find("ready")) << report;
    unsigned long pid = 0;
    sscanf(report.c_str(), "pid %lu", &pid);
    HANDLE again = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(again != nullptr);
    TerminateProcess(again, 0);
    CloseHandle(again);
}

// The memory pass run inside this program leaves no handle open, whatever
// it did: matched, patched, posted, suspended, killed.
TEST_F(MemoryTest, NoHandleIsLeftOpenByAPass) {
    Target& keep = Start();
    std::string other = "C:\\mendrix\\other_target.exe";
    ASSERT_TRUE(CopyFileA(kTargetExe, other.c_str(), FALSE));
    Target& victim = Start(other);
    auto record = NewRecord;
    ProcessRecord* records = record("other_target.exe", "kill", true, nullptr);
    records = record("memory_target.exe", "suspendandresume", true, records);
    records = record("memory_target.exe", "PostThreadMessage", true, records);
    // A first pass that acts on nothing, so that whatever the system opens
    // once for this program is open before counting.
    ProcessRecord* idle = record("absent.exe", "kill", true, nullptr);
    ParseContext first = {};
    first.flags = RUN_WINNT | RUN_IN_MEMORY;
    ScanMemory(&first, idle);
    ReleaseProcessApis();
    FreeProcessList(idle);
    DWORD before = 0, after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    ParseContext context = {};
    context.flags = RUN_WINNT | RUN_IN_MEMORY;
    ScanMemory(&context, records);
    ResumeSuspendedProcesses(&context);
    ReleaseProcessApis();
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_EQ(before, after);
    DWORD code;
    EXPECT_TRUE(TargetEnded(victim, &code));
    EXPECT_TRUE(Ticking(keep));
    FreeProcessList(records);
}

// A process that ended after the match, its ID given to another process:
// no pass acts on it or counts it, each says so once in a verbose line.
TEST_F(MemoryTest, AProcessWhoseIdIsTakenOverIsLeftAlone) {
    Target& t = Start();
    unsigned char start[8];
    ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
    ASSERT_TRUE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessId") != nullptr);
    const char* name = "memory_target.exe";
    ProcessRecord* records = NewRecord(name, "kill", true, nullptr);
    records = NewRecord(name, "restart", true, records);
    records = NewRecord(name, "suspendandresume", true, records);
    records = NewRecord(name, "eject", true, records);
    records->action->library = NewLibraryRef(_strdup("target_lib.dll"));
    records = NewRecord(name, "PostThreadMessage", true, records);
    records->library = NewLibraryRef(_strdup("target_lib.dll"));
    records->action->parameters = _strdup("4A1");
    records = NewRecord(name, "kill", false, records);
    records->patterns = NewPatternRecord();
    memcpy(records->patterns->bytes, start, sizeof start);
    records->patterns->count = sizeof start;

    std::string log = RunPassInside(records, true, false);
    for (ProcessRecord* r = records; r; r = r->next) {
        ASSERT_TRUE(r->found != nullptr) << r->action->keyword << log;
        EXPECT_EQ(t.pid(), r->found->processId) << r->action->keyword;
        EXPECT_NE(0u, r->found->stamp.creationTime) << r->action->keyword;
        EXPECT_EQ(1, r->found->takenOver) << r->action->keyword << log;
    }
    std::string line = "\r\nProcess memory_target.exe (process ID " + std::to_string(t.pid()) +
                       ") has ended since it was found; its ID now names another process, which is left alone\r\n";
    EXPECT_EQ(6u, CountOf(log, line)) << log;
    for (const char* said : {"Terminating", "Suspending", "Terminated thread", "elease", "restarted", "Could not"})
        EXPECT_EQ(std::string::npos, log.find(said)) << said << log;
    for (int counter : {COUNT_PROCESSES_FOUND, COUNT_PROCESSES_TERMINATED, COUNT_THREADS_FOUND})
        EXPECT_EQ(0, g_counters[counter]) << counter;
    EXPECT_TRUE(g_runItems.items == nullptr);
    FreeRunItems();
    FreeProcessList(records);

    DWORD code;
    EXPECT_FALSE(TargetEnded(t, &code));
    EXPECT_TRUE(Ticking(t));
    EXPECT_TRUE(TargetHasModule(t, "target_lib.dll"));
    Sleep(200);  // a posted message would have reached the target by now
    EXPECT_EQ(std::string::npos, TargetReport(t).find("message")) << TargetReport(t);
    EXPECT_EQ(std::string::npos, TargetReport(t).find("detach")) << TargetReport(t);
    EXPECT_EQ(1, RunningCount(name));
}

// "restart" of a process that ran under another account: it is ended as
// any other, but not started again; one line says so, and its item is
// declined.
TEST_F(MemoryTest, RestartLeavesAProcessOfAnotherAccountEnded) {
    Target& t = Start();
    ProcessRecord* records = NewRecord("memory_target.exe", "restart", true, nullptr);
    std::string log = RunPassInside(records, false, true);
    FreeProcessList(records);
    DWORD code = 0;
    EXPECT_TRUE(TargetEnded(t, &code)) << log;
    EXPECT_EQ(0, RunningCount("memory_target.exe"));  // WinExec would have started it by now
    EXPECT_NE(std::string::npos, log.find("\r\nTerminating process memory_target.exe\r\n")) << log;
    EXPECT_EQ(1u, CountOf(log, "\r\nProcess memory_target.exe was not restarted: it ran under another account\r\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("be restarted")) << log;
    EXPECT_EQ(1, g_counters[COUNT_PROCESSES_FOUND]);
    EXPECT_EQ(1, g_counters[COUNT_PROCESSES_TERMINATED]);
    struct Item {
        const char* action;
        int32_t outcome;
    } items[] = {{"terminate", OUTCOME_DONE}, {"restart", OUTCOME_DECLINED}};
    const ReportItem* item = g_runItems.items;
    for (const Item& expected : items) {
        ASSERT_TRUE(item != nullptr) << expected.action;
        EXPECT_STREQ(expected.action, item->action);
        EXPECT_EQ(expected.outcome, item->outcome) << expected.action;
        EXPECT_EQ(0u, item->error) << expected.action;
        EXPECT_EQ(t.pid(), item->processId) << expected.action;
        item = item->next;
    }
    EXPECT_TRUE(item == nullptr);
    FreeRunItems();
}

// A fault inside the guarded region comes back as a failure; the region
// can be entered again afterwards.
TEST_F(MemoryTest, GuardedRegionCatchesAFault) {
    auto fault = [](void*) { *static_cast<volatile int*>(nullptr) = 1; };
    auto fine = [](void* flag) { *static_cast<bool*>(flag) = true; };
    bool ran = false;
    EXPECT_FALSE(RunGuarded(fault, nullptr));
    EXPECT_TRUE(RunGuarded(fine, &ran));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(RunGuarded(fault, nullptr));
    // A process that is gone has no thread to suspend.
    Target& t = Start();
    uint32_t gone = t.pid();
    StopTarget(&t);
    EXPECT_FALSE(ProcSuspendResume(gone, true));
}

#if UINTPTR_MAX > 0xFFFFFFFFu
// The 64-bit program and a 32-bit process. Windows names the process's
// 32-bit environment block through ProcessWow64Information; Wine 8 answers
// only a flag there, so under Wine the modules of a 32-bit process cannot
// be read from a 64-bit one. What must hold either way: the process is
// named as one whose modules could not be read, and nothing is done to it,
// least of all running code of the wrong bitness in it.
TEST_F(MemoryTest, ThirtyTwoBitProcessSeenByThe64BitProgram) {
    const std::string x86 = "C:\\mendrix\\x86";
    ASSERT_TRUE(Install32BitTargetFiles(x86));
    Target& t = Start(x86 + "\\memory_target.exe");
    ASSERT_LT(t.Address("exe"), 0x100000000ull);
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\"><ACTION>kill</ACTION></PROCESS>"
                                  "<PROCESS ProcessName=\"memory_target.exe\"><ACTION dll=\"target_lib.dll\">eject"
                                  "</ACTION></PROCESS>"),
                          "-v");
    EXPECT_NE(std::string::npos,
              r.output.find("\r\nCould not enumerate modules for process ID: " + std::to_string(t.pid()) + "\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Terminated thread")) << r.output;
    DWORD code;
    EXPECT_FALSE(TargetEnded(t, &code));
    EXPECT_TRUE(Ticking(t));
    EXPECT_EQ(std::string::npos, TargetReport(t).find("detach"));
}
#endif

// Windows 98: Toolhelp lists the processes and modules, TerminateProcess
// ends them with exit code 0xFFFFFFFF, every thread gets a posted message,
// and neither suspension nor THREAD records do anything.
class Windows98Memory : public MemoryTest {
protected:
    void SetUp() override {
        MemoryTest::SetUp();
        PretendWindows98("mendrix-cli.exe", true);
    }
    void TearDown() override {
        PretendWindows98("mendrix-cli.exe", false);
        MemoryTest::TearDown();
    }
};

TEST_F(Windows98Memory, KillAndForcekillTerminateWithMinusOne) {
    for (const char* keyword : {"kill", "forcekill"}) {
        Target& t = Start();
        ProcessResult r =
            Run(Cleaner(std::string("<PROCESS ProcessName=\"memory_target.exe\"><ACTION>") + keyword +
                        "</ACTION></PROCESS>"));
        DWORD code = 0;
        ASSERT_TRUE(TargetEnded(t, &code)) << keyword << r.output;
        EXPECT_EQ(0xFFFFFFFFu, code) << keyword;
        EXPECT_EQ(std::string::npos, TargetReport(t).find("detach exit")) << keyword;
        EXPECT_NE(std::string::npos, r.output.find(FoundLine(1) + EndedLine(1))) << keyword << r.output;
        StopTarget(&t);
    }
}

TEST_F(Windows98Memory, LibraryRecordsReadPatternsAtTheLibrary) {
    Target& t = Start();
    unsigned char start[8];
    ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
    std::string offset = Offset(static_cast<int64_t>(Relative(t, "start", "lib")));
    for (int fits = 0; fits < 2; ++fits) {
        if (!fits) start[7] ^= 0xFF;
        ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\" dll=\"target_lib.dll\">"
                                      "<PATTERN offset=\"" + offset + "\">" + HexBytes(start, 8) +
                                      "</PATTERN><ACTION>write</ACTION></PROCESS>"));
        EXPECT_NE(std::string::npos, r.output.find(FoundLine(fits) + EndedLine(fits))) << fits << r.output;
        if (!fits) start[7] ^= 0xFF;
    }
}

TEST_F(Windows98Memory, PostThreadMessageReachesEveryThreadAndSuspendDoesNothing) {
    Target& t = Start();
    unsigned char start[8];
    ASSERT_TRUE(ReadTarget(t, t.Address("start"), start, sizeof start));
    // Neither suspension, nor THREAD records, nor eject on this family.
    ProcessResult r = Run(Cleaner("<PROCESS ProcessName=\"memory_target.exe\">"
                                  "<ACTION parameters=\"4A2,5\">PostThreadMessage</ACTION></PROCESS>"
                                  "<PROCESS ProcessName=\"memory_target.exe\"><ACTION>suspend</ACTION></PROCESS>"
                                  "<THREAD ProcessName=\"memory_target.exe\"><PATTERN>" + HexBytes(start, 8) +
                                  "</PATTERN><ACTION>kill</ACTION></THREAD>"
                                  "<PROCESS ProcessName=\"memory_target.exe\"><ACTION dll=\"target_lib.dll\">eject"
                                  "</ACTION></PROCESS>"),
                          "-v");
    EXPECT_EQ(std::string::npos, r.output.find("Terminated thread")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("elease")) << r.output;
    EXPECT_EQ(std::string::npos, TargetReport(t).find("detach")) << TargetReport(t);
    EXPECT_TRUE(WaitFor(t, "message " + std::to_string(t.Number("main")) + " 4a2 5 0")) << TargetReport(t);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(WaitFor(t, "message " + std::to_string(t.Number("libthreads", i)) + " 4a2 5 0"));
    EXPECT_EQ(std::string::npos, r.output.find("Suspending")) << r.output;
    EXPECT_TRUE(Ticking(t));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
