// Report-only runs and the JSON run report, end to end: one data file names
// files, a running process, registry values and a key, INI entries, a
// running service and two shares. A report-only run over a machine set up
// with all of them must change nothing (whole snapshots before and after
// agree) and name each change it would have made once; the same data file
// without -reportonly then makes exactly those changes. Runs that find
// nothing, that fail part of the way, that stop on a data-file error and
// whose report cannot be written show the report's other cases.
#include <windows.h>
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "report/json_report.h"
#include "script/json.h"
#include "script/version.h"
#include "share_table.h"
#include "support/extract_resource_win.h"
#include "support/machine_snapshot_win.h"
#include "support/service_control_win.h"
#include "support/timed_run.h"
#include "support/wine_support.h"
#include "target_control_win.h"

using json = nlohmann::json;

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kTable[] = "C:\\mendrix\\shares.tab";  // read by the netapi32 stand-in of the system folder
const char kAppKey[] = "Software\\Wine\\AppDefaults\\mendrix-cli.exe";
const char kOverrideKey[] = "Software\\Wine\\AppDefaults\\mendrix-cli.exe\\DllOverrides";
const char kSavedShares[] = "SOFTWARE\\Mendrix";
const char kUndoRoot[] = "C:\\Mendrix\\Undo";
const char kOwnKey[] = "Software\\MendrixRunReport";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The [windows] section of win.ini, where the NT family keeps it.
const char kWinIniMapped[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kService[] = "RRAgent";

// The machine's folders: what the data file works on, where a moved file
// goes, the stand-in programs, and the run's own files (log, data file,
// report), which no snapshot looks at.
const char kMachine[] = "C:\\mendrix\\scratch\\rr-machine";
const char kQuarantine[] = "C:\\mendrix\\scratch\\rr-quarantine";
const char kBin[] = "C:\\mendrix\\scratch\\rr-bin";
const char kRunFiles[] = "C:\\mendrix\\scratch\\rr-run";

std::string In(const char* folder, const std::string& name) { return std::string(folder) + "\\" + name; }

std::string WindowsDirectory() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return windows;
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

// The log's lines that begin with the text, in order, without their ends.
std::vector<std::string> LinesBeginning(const std::string& log, const std::string& head) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size();
        if (log.compare(at, head.size(), head) == 0) lines.push_back(log.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The lines that announce a find: a report-only run writes them all, as a
// real run does.
std::vector<std::string> FoundLines(const std::string& log) {
    std::vector<std::string> lines;
    for (const std::string& line : LinesBeginning(log, ""))
        if (line.find(" found in ") != std::string::npos) lines.push_back(line);
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// ---------------------------------------------------------------- the data file

// The names the checks use for what the machine is set up with.
const char kDeleted[] = "rrevil.exe";
const char kMoved[] = "rrmover.exe";
const char kCut[] = "rrhost.com";
const char kKept[] = "keep.txt";
const char kPrivateIni[] = "rr.ini";
const char kRunValue[] = "RRAgent";

std::string DataFileXml() {
    const std::string machine = kMachine;
    return "<CLEANER DataFile=\"RR.Test\" Version=\"2.5\" Type=\"Trojan\" Variants=\"RR.A,RR.B\">"
           "<IDENTITY GenericName=\"RRThreat\">"
           "<MEMORY><PROCESS ProcessName=\"memory_target.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"
           "<SERVICE>" + std::string(kService) + "</SERVICE>"
           "<DISK><DIRECTORY>" + machine + "</DIRECTORY>"
           "<FILE FileName=\"rrevil.exe\"><ACTION confirm=\"Delete the threat's program?\">delete</ACTION></FILE>"
           "<FILE FileName=\"rrmover.exe\"><ACTION destination=\"" + In(kQuarantine, kMoved) +
           "\">move</ACTION></FILE>"
           "<FILE FileName=\"rrhost.com\"><PATTERN type=\"forwards\">56 42 4F 44 59</PATTERN>"
           "<ACTION start=\"pattern0\" length=\"10\">cut</ACTION></FILE>"
           "</DISK>"
           "<REGISTRY confirm=\"Clean the registry?\">"
           "<KEY handle=\"HKEY_CURRENT_USER\" name=\"" + std::string(kRunKey) + "\">"
           "<VALUE><VIRUSVALUE>rrevil.exe</VIRUSVALUE><ACTION>delete</ACTION></VALUE></KEY>"
           "<KEY handle=\"HKEY_CURRENT_USER\" name=\"" + std::string(kOwnKey) + "\\Winlogon\">"
           "<VALUE name=\"Shell\"><DEFAULT>Explorer.exe</DEFAULT><ACTION>reset</ACTION></VALUE></KEY>"
           "<KEY handle=\"HKEY_CURRENT_USER\" name=\"" + std::string(kOwnKey) + "\\Settings\">"
           "<ACTION>delete</ACTION></KEY>"
           "</REGISTRY>"
           "<INIFILE FileName=\"windows\\win.ini\"><KEY section=\"windows\" name=\"load\">"
           "<VIRUSVALUE>rrevil.exe</VIRUSVALUE></KEY></INIFILE>"
           "<INIFILE FileName=\"" + In(kMachine, kPrivateIni) + "\"><KEY section=\"boot\" name=\"shell\">"
           "<VIRUSVALUE>rrevil.exe</VIRUSVALUE><DEFAULT>Explorer.exe</DEFAULT></KEY></INIFILE>"
           "<EXECUTE>removeShares</EXECUTE>"
           "</IDENTITY></CLEANER>";
}

// One thing the data file changes on the machine set up by PlantMachine:
// what the report names it and what of the data file it says matched, the line a report-only run writes for it, and
// the snapshot entries its change touches (a name, or a name ending in "*"
// for every name that begins so).
struct Expected {
    const char* kind;
    std::string subject;
    std::string matched;
    const char* action;
    std::string wouldLine;
    std::vector<std::string> touches;
};

std::vector<Expected> ExpectedChanges(uint32_t targetId) {
    const std::string hkcu = "HKCU\\", own = hkcu + kOwnKey;
    return {
        {"process", "memory_target.exe", "memory_target.exe", "kill",
         "Would terminate process memory_target.exe (process ID " + std::to_string(targetId) + ")",
         {"process memory_target.exe *"}},
        {"service", kService, kService, "stopAndRemove", std::string("Would stop and remove service ") + kService,
         {std::string("service ") + kService, "process standin_service.exe *"}},
        {"file", In(kMachine, kDeleted), "FileName rrevil.exe", "delete", "Would delete file " + In(kMachine, kDeleted),
         {"files rr-machine\\rrevil.exe"}},
        {"file", In(kMachine, kMoved), "FileName rrmover.exe", "move",
         "Would move " + In(kMachine, kMoved) + " to " + In(kQuarantine, kMoved),
         {"files rr-machine\\rrmover.exe", "files rr-quarantine\\rrmover.exe"}},
        {"file", In(kMachine, kCut), "FileName rrhost.com, 1 PATTERN", "cut",
         "Would modify file " + In(kMachine, kCut) + " by removing bytes 10 to 25",
         {"files rr-machine\\rrhost.com"}},
        {"registryValue", hkcu + kRunKey + "\\" + kRunValue, "rrevil.exe", "delete",
         "Would delete registry value " + hkcu + kRunKey + "\\" + kRunValue,
         {hkcu + kRunKey + "\\@" + kRunValue}},
        {"registryValue", own + "\\Winlogon\\Shell", "differs from DEFAULT explorer.exe", "reset",
         "Would reset registry value " + own + "\\Winlogon\\Shell",
         {own + "\\Winlogon\\@Shell"}},
        {"registryKey", own + "\\Settings", "", "delete", "Would delete registry key " + own + "\\Settings",
         {own + "\\Settings\\*"}},
        {"iniEntry", WindowsDirectory() + "\\win.ini [windows] load", "rrevil.exe", "delete",
         "Would remove the entry load of section [windows] from " + WindowsDirectory() + "\\win.ini",
         {hkcu + kWinIniMapped + "\\@load"}},
        {"iniEntry", In(kMachine, kPrivateIni) + " [boot] shell", "rrevil.exe", "reset",
         "Would reset the entry shell of section [boot] in " + In(kMachine, kPrivateIni) + " to explorer.exe",
         {"files rr-machine\\rr.ini", "ini rr.ini"}},
        {"share", "RRDOCS", "removeShares", "remove", "Would remove share RRDOCS",
         {"share table", "HKLM\\Software\\Mendrix\\*"}},
        {"share", "RRDATA", "removeShares", "remove", "Would remove share RRDATA",
         {"share table", "HKLM\\Software\\Mendrix\\*"}},
    };
}

bool Touches(const std::string& pattern, const std::string& name) {
    if (!pattern.empty() && pattern.back() == '*')
        return _strnicmp(name.c_str(), pattern.c_str(), pattern.size() - 1) == 0;
    return _stricmp(name.c_str(), pattern.c_str()) == 0;
}

// ---------------------------------------------------------------- the report

json ReadReport(const std::string& path) {
    std::string text = ReadWholeFile(path);
    json report = json::parse(text, nullptr, false);
    EXPECT_FALSE(report.is_discarded()) << "not JSON: " << text;
    EXPECT_TRUE(report.is_object()) << text;
    return report.is_object() ? report : json::object();
}

// One item, briefly, for comparing lists and for failure messages.
std::string Brief(const json& item) {
    auto text = [&](const char* field) {
        return item.contains(field) && item[field].is_string() ? item[field].get<std::string>() : std::string("?");
    };
    return text("kind") + " | " + text("subject") + " | " + text("matched") + " | " + text("action") + " | " +
           text("outcome");
}

std::vector<std::string> BriefItems(const json& report) {
    std::vector<std::string> items;
    if (report.contains("items") && report["items"].is_array())
        for (const json& item : report["items"]) items.push_back(Brief(item));
    return Sorted(items);
}

std::vector<std::string> ExpectedBriefs(const std::vector<Expected>& changes, const char* outcome) {
    std::vector<std::string> items;
    for (const Expected& e : changes)
        items.push_back(std::string(e.kind) + " | " + e.subject + " | " + e.matched + " | " + e.action + " | " +
                        outcome);
    return Sorted(items);
}

const json* FindItem(const json& report, const std::string& kind, const std::string& subject) {
    if (!report.contains("items") || !report["items"].is_array()) return nullptr;
    for (const json& item : report["items"])
        if (item.value("kind", "") == kind && _stricmp(item.value("subject", "").c_str(), subject.c_str()) == 0)
            return &item;
    return nullptr;
}

const char* const kCounterNames[] = {
    "filesFound",         "filesDeleted",   "registryKeysAffected", "registryKeysChanged", "processesFound",
    "processesTerminated", "sharesDeleted", "filesChanged",         "iniEntriesFound",     "iniEntriesChanged",
    "servicesRemoved",    "servicesFound",  "threadsFound",         "threadsTerminated",   "threadActions",
};
// The counters of changes made; the rest count what was found.
const char* const kChangeCounters[] = {"filesDeleted",   "registryKeysChanged", "processesTerminated",
                                       "sharesDeleted",  "filesChanged",        "iniEntriesChanged",
                                       "servicesRemoved", "threadsTerminated"};

bool IsChangeCounter(const std::string& name) {
    for (const char* c : kChangeCounters)
        if (name == c) return true;
    return false;
}

bool LooksLikeMoment(const json& value) {
    if (!value.is_string()) return false;
    std::string t = value.get<std::string>();
    if (t.size() != 19) return false;
    for (size_t i = 0; i < t.size(); ++i) {
        char expected = i == 4 || i == 7 ? '-' : i == 10 ? 'T' : i == 13 || i == 16 ? ':' : '0';
        if (expected == '0' ? !isdigit(static_cast<unsigned char>(t[i])) : t[i] != expected) return false;
    }
    return true;
}

// Generous: the machine may be busy.
bool WaitForEnd(const Target& target) {
    DWORD code = 0;
    for (int i = 0; i < 250; ++i) {
        if (TargetEnded(target, &code)) return true;
        Sleep(20);
    }
    return false;
}

bool RunningUnderWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, BOOL*);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process"));
    BOOL wow64 = FALSE;
    if (isWow64) isWow64(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

// The parts every report of a scan run has, whatever it found.
void ExpectRunFrame(const json& r, const std::string& dat, bool reportOnly, const char* sharesMode,
                    bool confirm = false) {
    EXPECT_EQ("mendrix-run-report", r.value("format", ""));
    EXPECT_EQ(static_cast<int>(RUN_REPORT_FORMAT_VERSION), r.value("formatVersion", -1));
    EXPECT_EQ(json({{"name", "mendrix"}, {"version", MENDRIX_VERSION},
                    {"build", sizeof(void*) == 8 ? "64-bit" : "32-bit"}}),
              r.value("program", json()));

    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    json windows = r.value("windows", json::object());
    EXPECT_EQ("NT", windows.value("family", ""));
    EXPECT_EQ(info.dwMajorVersion, windows.value("major", 0u));
    EXPECT_EQ(info.dwMinorVersion, windows.value("minor", 0u));
    EXPECT_EQ(info.dwBuildNumber, windows.value("build", 0u));
    EXPECT_EQ(std::string(info.szCSDVersion), windows.value("servicePack", "?"));
    EXPECT_EQ(RunningUnderWow64(), windows.value("wow64", true));

    json data = r.value("dataFile", json::object());
    EXPECT_EQ(dat, data.value("name", ""));
    EXPECT_EQ(false, data.value("embedded", true));
    EXPECT_EQ("RR.Test", data.value("threat", ""));
    EXPECT_EQ("Trojan", data.value("type", ""));
    EXPECT_EQ("2.5", data.value("version", ""));
    EXPECT_EQ(json({"RR.A", "RR.B"}), data.value("variants", json()));

    json run = r.value("run", json::object());
    EXPECT_EQ("scan", run.value("mode", ""));
    EXPECT_EQ(reportOnly, run.value("reportOnly", !reportOnly));
    EXPECT_EQ(confirm, run.value("confirm", !confirm));
    EXPECT_EQ(sharesMode, run.value("sharesMode", ""));
    EXPECT_TRUE(LooksLikeMoment(run.value("started", json()))) << run.dump();
    EXPECT_TRUE(LooksLikeMoment(run.value("finished", json()))) << run.dump();
    EXPECT_LE(run.value("started", ""), run.value("finished", ""));

    json counters = r.value("counters", json::object());
    EXPECT_EQ(sizeof kCounterNames / sizeof kCounterNames[0], counters.size()) << counters.dump();
    for (const char* name : kCounterNames) EXPECT_TRUE(counters.contains(name)) << name;
    EXPECT_TRUE(r.contains("items") && r["items"].is_array());
    EXPECT_TRUE(r.contains("notExamined") && r["notExamined"].is_array());
}

// The totals agree with the items, whatever they are.
void ExpectTotalsOfItems(const json& r) {
    std::map<std::string, int> outcomes;
    for (const json& item : r.value("items", json::array())) ++outcomes[item.value("outcome", "")];
    json totals = r.value("totals", json::object());
    EXPECT_EQ(static_cast<int>(r.value("items", json::array()).size()), totals.value("items", -1));
    for (const char* o : {"done", "failed", "wouldDo", "declined", "notSaved", "found"})
        EXPECT_EQ(outcomes[o], totals.value(o, -1)) << o;
    EXPECT_EQ(static_cast<int>(r.value("notExamined", json::array()).size()), totals.value("notExamined", -1));
    EXPECT_EQ(0, totals.value("itemsLost", -1));
}

// Every item of the whole-machine data file succeeded or would have: no
// error codes, and a process ID on the process item alone.
void ExpectNoErrorsAndTheTargetsId(const json& r, uint32_t targetId) {
    for (const json& item : r.value("items", json::array())) {
        EXPECT_EQ(0u, item.value("error", 1u)) << Brief(item);
        bool process = item.value("kind", "") == "process";
        EXPECT_EQ(process, item.contains("processId")) << Brief(item);
        if (process) {
            EXPECT_EQ(targetId, item.value("processId", 0u));
        }
        EXPECT_FALSE(item.contains("threadId")) << Brief(item);
    }
}

// ---------------------------------------------------------------- the fixture

class RunReport : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CreateDirectoryA("C:\\mendrix\\scratch", nullptr);
        MakeScratchFolder("rr-bin");
        ASSERT_TRUE(ExtractResourceFile("SERVICE_STANDIN", In(kBin, "standin_service.exe")));
        ASSERT_NE("", InstallSystemLibrary("NETAPI32_STANDIN", "netapi32.dll"));
        ASSERT_TRUE(InstallTargetFiles(kBin));
    }

    void SetUp() override {
        CleanMachine();
        MakeScratchFolder("rr-machine");
        MakeScratchFolder("rr-quarantine");
        MakeScratchFolder("rr-run");
        dat = In(kRunFiles, "run.dat");
        log = In(kRunFiles, "run.log");
        report = In(kRunFiles, "report.json");
        // The console program alone loads the share stand-in, over an
        // empty table unless a test fills it.
        SetRegistryValue(HKEY_CURRENT_USER, kOverrideKey, "netapi32", REG_SZ, Sz("native,builtin"));
        ASSERT_TRUE(SaveShareTable(kTable, ShareTable()));
    }

    void TearDown() override {
        if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);
        locked = INVALID_HANDLE_VALUE;
        CleanMachine();
    }

    // Leaves nothing of any test behind: a later one starts clean.
    void CleanMachine() {
        StopTarget(&target);
        for (const char* name : {kService, "RRHung"}) UninstallService(name);
        DeleteRegistryTree(HKEY_CURRENT_USER, kOwnKey);
        DeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
        WritePrivateProfileStringA("windows", "load", nullptr, "win.ini");
        DeleteRegistryTree(HKEY_CURRENT_USER, kAppKey);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSavedShares);
        RemoveFile(kTable);
        RemoveFolderTree(kUndoRoot);
        for (const char* folder : {kMachine, kQuarantine}) RemoveFolderTree(folder);
    }

    // Files, a process, registry values and a key, INI entries, a running
    // service and two shares: one of each thing the data file changes, and
    // one more of most that it leaves alone.
    void PlantMachine() {
        ASSERT_TRUE(WriteWholeFile(In(kMachine, kDeleted), "MZ the threat's own program"));
        ASSERT_TRUE(WriteWholeFile(In(kMachine, kMoved), "MZ a sample kept for later"));
        ASSERT_TRUE(WriteWholeFile(In(kMachine, kCut), "HOST-HEAD:VBODY-0123456789:HOST-TAIL"));
        ASSERT_TRUE(WriteWholeFile(In(kMachine, kKept), "the user's own"));
        ASSERT_TRUE(WriteWholeFile(In(kMachine, kPrivateIni),
                                   "[boot]\r\nshell=Explorer.exe rrevil.exe\r\nother=keep.exe\r\n"));

        ASSERT_TRUE(StartTarget(In(kBin, "memory_target.exe"), In(kRunFiles, "target.txt"), &target));

        SetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, Sz(In(kMachine, kDeleted) + " /quiet"));
        SetRegistryValue(HKEY_CURRENT_USER, kRunKey, "RRKeep", REG_SZ, Sz("c:\\tools\\ok.exe"));
        const std::string own = kOwnKey;
        SetRegistryValue(HKEY_CURRENT_USER, own + "\\Winlogon", "Shell", REG_SZ, Sz("Explorer.exe rrevil.exe"));
        SetRegistryValue(HKEY_CURRENT_USER, own + "\\Winlogon", "Userinit", REG_SZ, Sz("userinit.exe"));
        SetRegistryValue(HKEY_CURRENT_USER, own + "\\Settings", "id", REG_DWORD, std::string("\x2A\0\0\0", 4));
        SetRegistryValue(HKEY_CURRENT_USER, own + "\\Settings", "", REG_SZ, Sz("the threat's settings"));
        SetRegistryValue(HKEY_CURRENT_USER, own + "\\Kept", "keep", REG_SZ, Sz("rrevil.exe is named here too"));

        ASSERT_TRUE(WritePrivateProfileStringA("windows", "load", "C:\\WINDOWS\\RREVIL.EXE", "win.ini"));

        ASSERT_EQ("", InstallService(kService, "\"" + In(kBin, "standin_service.exe") + "\"", true));

        ShareTable table;
        for (const char* name : {"RRDOCS", "RRDATA"}) {
            TableShare share;
            share.name = name;
            share.path = std::string("C:\\") + name;
            share.remark = "planted";
            table.shares.push_back(share);
        }
        TableShare printer;
        printer.type = 1;  // a printer share: removeShares leaves it
        printer.name = "RRLASER";
        printer.path = "LPT1:";
        table.shares.push_back(printer);
        ASSERT_TRUE(SaveShareTable(kTable, table));
    }

    // Whatever of the machine a run could change.
    MachineShot Snapshot() {
        MachineShot shot;
        AddFolderTree(kMachine, "files rr-machine\\", &shot);
        AddFolderTree(kQuarantine, "files rr-quarantine\\", &shot);
        AddRegistryTreeInParallel(HKEY_LOCAL_MACHINE, "Software", "HKLM\\Software\\", &shot);
        AddRegistryTree(HKEY_CURRENT_USER, "", "HKCU\\", &shot);
        AddFileBytes(WindowsDirectory() + "\\win.ini", "ini win.ini", &shot);
        AddFileBytes(In(kMachine, kPrivateIni), "ini rr.ini", &shot);
        AddFileBytes(kTable, "share table", &shot);
        AddServices(&shot);
        AddProcesses(&shot);
        return shot;
    }

    // One run of the console program on the XML; its log. Standard input
    // is empty: a question would find the answer No.
    std::string Run(const std::string& xml, const std::string& options) {
        EXPECT_TRUE(BuildDataFile(xml, dat));
        RemoveFile(log);
        RemoveFile(report);
        DWORD start = GetTickCount();
        last = RunProgramWithin(std::string(kCli) + " -df=" + dat + " -lf=" + log + " " + options, 60000);
        printf("run %s: %.1f s\n", options.c_str(), (GetTickCount() - start) / 1000.0);
        EXPECT_TRUE(last.finished);
        return ReadWholeFile(log);
    }

    std::string dat, log, report;
    Target target;
    TimedRun last = {};
    HANDLE locked = INVALID_HANDLE_VALUE;
};

// ---------------------------------------------------------------- tests

// 1 and 2: the report-only run changes nothing and names every change; the
// real run then makes exactly the named changes.
TEST_F(RunReport, ReportOnlyChangesNothingAndTheRealRunMakesExactlyTheNamedChanges) {
    PlantMachine();
    if (HasFatalFailure()) return;
    const std::vector<Expected> changes = ExpectedChanges(target.pid());

    DWORD start = GetTickCount();
    MachineShot before = Snapshot();
    printf("snapshot: %lu entries, %.1f s\n", static_cast<unsigned long>(before.size()),
           (GetTickCount() - start) / 1000.0);
    // With confirmation on: a report-only run asks nothing, and goes on as
    // a Yes would.
    std::string text = Run(DataFileXml(), "-s -reportonly -json=" + report);
    EXPECT_EQ(0u, last.exitCode) << last.output << last.errors;
    MachineShot afterReportOnly = Snapshot();
    EXPECT_TRUE(before == afterReportOnly) << ShotDifferences(before, afterReportOnly);
    DWORD code = 0;
    EXPECT_FALSE(TargetEnded(target, &code));
    EXPECT_FALSE(FileExists(kUndoRoot)) << "a report-only run writes no undo journal";

    std::vector<std::string> wouldLines;
    for (const Expected& e : changes) wouldLines.push_back(e.wouldLine);
    EXPECT_EQ(Sorted(wouldLines), Sorted(LinesBeginning(text, "Would "))) << text;
    EXPECT_NE(std::string::npos, text.find("\r\nReport-only run: nothing on this machine was changed\r\n")) << text;
    EXPECT_EQ(std::string::npos, text.find("Undo journal:")) << text;
    // The actions' own lines give way to the one line each.
    for (const char* action :
         {"File deleted", "Moving ", "File modified", "Terminating process", "successfully terminated", "Stopping ",
          " removed\r\n", "Deleted registry", "Reset registry", "Entry successfully", "Removing share",
          "successfuly removed"})
        EXPECT_EQ(std::string::npos, text.find(action)) << action << "\n" << text;
    const std::vector<std::string> foundReportOnly = FoundLines(text);

    json quiet = ReadReport(report);
    ExpectRunFrame(quiet, dat, true, "removeAndSave", true);
    EXPECT_EQ(std::string::npos, last.output.find("[y]es")) << last.output;
    ExpectTotalsOfItems(quiet);
    EXPECT_EQ(ExpectedBriefs(changes, "wouldDo"), BriefItems(quiet)) << quiet.dump(1);
    EXPECT_EQ(static_cast<int>(changes.size()), quiet["totals"].value("wouldDo", -1));
    EXPECT_EQ(true, quiet.value("complete", false)) << quiet["notExamined"].dump(1);
    EXPECT_EQ(false, quiet.value("clean", true));
    EXPECT_EQ(0, quiet["run"].value("result", -1));
    EXPECT_EQ("completed", quiet["run"].value("resultName", ""));
    EXPECT_TRUE(quiet["run"].value("dataError", json(1)).is_null());
    EXPECT_EQ(false, quiet["run"].value("skipMode", true));
    EXPECT_TRUE(quiet["run"].value("undoJournal", json(1)).is_null());
    ExpectNoErrorsAndTheTargetsId(quiet, target.pid());

    // The same data file, for real.
    text = Run(DataFileXml(), "-noc -s -json=" + report);
    EXPECT_EQ(0u, last.exitCode) << last.output << last.errors;
    // The memory target is seen to end before the snapshot looks for it.
    EXPECT_TRUE(WaitForEnd(target)) << text;
    MachineShot afterRun = Snapshot();
    std::map<std::string, std::string> changed = ChangedNames(before, afterRun);
    for (const Expected& e : changes)
        for (const std::string& pattern : e.touches) {
            bool seen = false;
            for (const auto& c : changed) seen = seen || Touches(pattern, c.first);
            EXPECT_TRUE(seen) << e.kind << " " << e.subject << ": nothing changed at " << pattern;
        }
    for (const auto& c : changed) {
        bool named = false;
        for (const Expected& e : changes)
            for (const std::string& pattern : e.touches) named = named || Touches(pattern, c.first);
        EXPECT_TRUE(named) << "changed although no item names it: " << c.first << " (" << c.second << ")";
    }
    EXPECT_EQ(foundReportOnly, FoundLines(text)) << "a report-only run finds what a real run finds";
    EXPECT_EQ(3u, foundReportOnly.size()) << text;
    EXPECT_EQ(std::string::npos, text.find("Report-only run")) << text;
    EXPECT_EQ("HOST-HEAD::HOST-TAIL", ReadWholeFile(In(kMachine, kCut)));
    EXPECT_EQ("MZ a sample kept for later", ReadWholeFile(In(kQuarantine, kMoved)));
    EXPECT_EQ(0ul, ServiceState(kService));

    json real = ReadReport(report);
    ExpectRunFrame(real, dat, false, "removeAndSave");
    ExpectTotalsOfItems(real);
    EXPECT_EQ(ExpectedBriefs(changes, "done"), BriefItems(real)) << real.dump(1);
    EXPECT_EQ(static_cast<int>(changes.size()), real["totals"].value("done", -1));
    EXPECT_EQ(true, real.value("complete", false)) << real["notExamined"].dump(1);
    EXPECT_EQ(true, real.value("clean", false));
    ExpectNoErrorsAndTheTargetsId(real, target.pid());
    json journal = real["run"].value("undoJournal", json());
    ASSERT_TRUE(journal.is_string()) << real["run"].dump();
    EXPECT_NE(std::string::npos, text.find("\r\nUndo journal: " + journal.get<std::string>() + "\r\n")) << text;
    EXPECT_TRUE(FileExists(journal.get<std::string>()));

    // What a report-only run finds, it counts as the real run does; what
    // it would change, it does not count.
    for (const char* name : kCounterNames) {
        int reportOnly = quiet["counters"].value(name, -1), made = real["counters"].value(name, -1);
        if (IsChangeCounter(name))
            EXPECT_EQ(0, reportOnly) << name;
        else
            EXPECT_EQ(made, reportOnly) << name;
    }
    EXPECT_EQ(1, real["counters"].value("processesFound", -1));
    EXPECT_EQ(1, real["counters"].value("processesTerminated", -1));
    EXPECT_EQ(1, real["counters"].value("servicesRemoved", -1));
    EXPECT_EQ(2, real["counters"].value("sharesDeleted", -1));
    EXPECT_EQ(2, real["counters"].value("iniEntriesChanged", -1));
    EXPECT_EQ(3, real["counters"].value("registryKeysChanged", -1));
}

// 3a: a machine without the threat.
TEST_F(RunReport, RunThatFindsNothingIsCompleteAndClean) {
    std::string text = Run(DataFileXml(), "-noc -s -json=" + report);
    EXPECT_EQ(0u, last.exitCode) << text;
    json r = ReadReport(report);
    ExpectRunFrame(r, dat, false, "removeAndSave");
    ExpectTotalsOfItems(r);
    EXPECT_EQ(json::array(), r.value("items", json()));
    EXPECT_EQ(json::array(), r.value("notExamined", json()));
    EXPECT_EQ(0, r["totals"].value("items", -1));
    for (const char* name : kCounterNames) EXPECT_EQ(0, r["counters"].value(name, -1)) << name;
    EXPECT_EQ(0, r["run"].value("result", -1));
    EXPECT_EQ("completed", r["run"].value("resultName", ""));
    EXPECT_TRUE(r["run"].value("undoJournal", json(1)).is_null()) << "nothing changed, no journal";
    EXPECT_EQ(true, r.value("complete", false));
    EXPECT_EQ(true, r.value("clean", false));
}

// 3c: a file held open with no sharing at all, a key with a subkey (which
// the NT family does not delete) and a service that never stops. The
// report says which failed and why; the machine is not clean. (A file that
// others may still read is left for the restart instead: that is the
// restart test's. This one cannot even be read, so it can be neither saved
// for undo nor left for the restart.)
TEST_F(RunReport, RunThatFailsPartOfTheWayIsNotClean) {
    std::string lockedPath = In(kMachine, "rrlocked.exe");
    ASSERT_TRUE(WriteWholeFile(lockedPath, "MZ in use"));
    ASSERT_TRUE(WriteWholeFile(In(kMachine, kDeleted), "MZ"));
    locked = CreateFileA(lockedPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    ASSERT_EQ("", InstallService("RRHung", "\"" + In(kBin, "standin_service.exe") + "\" never-stop", true));
    const std::string nested = std::string(kOwnKey) + "\\Nested";
    SetRegistryValue(HKEY_CURRENT_USER, nested + "\\Child", "v", REG_SZ, Sz("kept"));

    std::string text = Run("<CLEANER DataFile=\"RR.Test\" Version=\"2.5\" Type=\"Trojan\" Variants=\"RR.A,RR.B\">"
                           "<IDENTITY GenericName=\"RRThreat\"><SERVICE>RRHung</SERVICE>"
                           "<DISK><DIRECTORY>" + std::string(kMachine) + "</DIRECTORY>"
                           "<FILE FileName=\"rrlocked.exe\"><ACTION>delete</ACTION></FILE>"
                           "<FILE FileName=\"rrevil.exe\"><ACTION>delete</ACTION></FILE>"
                           "</DISK><REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"" + nested + "\">"
                           "<ACTION>delete</ACTION></KEY></REGISTRY></IDENTITY></CLEANER>",
                           "-noc -json=" + report);
    EXPECT_EQ(0u, last.exitCode) << text;
    EXPECT_TRUE(FileExists(lockedPath));
    EXPECT_FALSE(FileExists(In(kMachine, kDeleted)));

    json r = ReadReport(report);
    ExpectRunFrame(r, dat, false, "leave");
    ExpectTotalsOfItems(r);
    const json* failed = FindItem(r, "file", lockedPath);
    ASSERT_NE(nullptr, failed) << r.dump(1);
    EXPECT_EQ("failed", failed->value("outcome", ""));
    EXPECT_EQ("delete", failed->value("action", ""));
    EXPECT_EQ(static_cast<unsigned>(ERROR_SHARING_VIOLATION), failed->value("error", 0u))
        << "the Windows error of the failed deletion";
    const json* done = FindItem(r, "file", In(kMachine, kDeleted));
    ASSERT_NE(nullptr, done) << r.dump(1);
    EXPECT_EQ("done", done->value("outcome", ""));
    EXPECT_EQ(0u, done->value("error", 1u));
    const json* hung = FindItem(r, "service", "RRHung");
    ASSERT_NE(nullptr, hung) << r.dump(1);
    // Marked for deletion, it goes once it ends: the counter counts the
    // removal, but the service still runs, so the item has failed with the
    // stop request's timeout and what matched says why.
    EXPECT_EQ("failed", hung->value("outcome", "")) << Brief(*hung);
    EXPECT_EQ(static_cast<unsigned>(ERROR_SERVICE_REQUEST_TIMEOUT), hung->value("error", 0u)) << Brief(*hung);
    EXPECT_NE(std::string::npos, hung->value("matched", "").find("did not stop")) << hung->dump();
    const json* key = FindItem(r, "registryKey", "HKCU\\" + nested);
    ASSERT_NE(nullptr, key) << r.dump(1);
    EXPECT_EQ("failed", key->value("outcome", "")) << Brief(*key);
    EXPECT_EQ(static_cast<unsigned>(ERROR_ACCESS_DENIED), key->value("error", 0u)) << Brief(*key);
    EXPECT_EQ(1u, RegistryShotOf(HKEY_CURRENT_USER, nested).count("Child\\@v"));
    EXPECT_EQ(3, r["totals"].value("failed", 0));
    EXPECT_EQ(true, r.value("complete", false)) << r["notExamined"].dump(1);
    EXPECT_EQ(false, r.value("clean", true));
    EXPECT_EQ(0, r["run"].value("result", -1));
}

// 3d: an element the program does not know, after good ones. What ran
// before it is reported; the rest of the script is skipped.
TEST_F(RunReport, DataFileErrorStopsTheRunAndSaysWhere) {
    ASSERT_TRUE(WriteWholeFile(In(kMachine, kDeleted), "MZ"));
    // Plain ASCII text is its own token stream: the lines stay as written.
    const std::string xml =
        "<CLEANER DataFile=\"RR.Test\" Version=\"2.5\" Type=\"Trojan\" Variants=\"RR.A,RR.B\">\n"
        "<IDENTITY GenericName=\"RRThreat\">\n"
        "<DISK><DIRECTORY>" + std::string(kMachine) + "</DIRECTORY>\n"
        "<FILE FileName=\"rrevil.exe\"><ACTION>delete</ACTION></FILE>\n"
        "</DISK>\n"
        "<REGISTRY>\n"
        "<NOSUCHELEMENT/>\n"
        "</REGISTRY>\n"
        "</IDENTITY></CLEANER>\n";
    ASSERT_TRUE(WriteWholeFile(dat, Scramble(xml)));
    RemoveFile(report);
    last = RunProgramWithin(std::string(kCli) + " -noc -df=" + dat + " -lf=" + log + " -json=" + report, 60000);
    std::string text = ReadWholeFile(log);
    EXPECT_EQ(0u, last.exitCode) << text;
    EXPECT_NE(std::string::npos, text.find("\r\nCorrupt data file " + dat + "\r\n")) << text;
    EXPECT_FALSE(FileExists(In(kMachine, kDeleted)));

    json r = ReadReport(report);
    ExpectRunFrame(r, dat, false, "leave");
    ExpectTotalsOfItems(r);
    EXPECT_EQ(json({{"code", 9}, {"line", 7}}), r["run"].value("dataError", json())) << r["run"].dump();
    EXPECT_EQ(true, r["run"].value("skipMode", false));
    EXPECT_EQ(0, r["run"].value("result", -1));
    EXPECT_EQ("completed", r["run"].value("resultName", ""));
    EXPECT_EQ(std::vector<std::string>{"file | " + In(kMachine, kDeleted) + " | FileName rrevil.exe | delete | done"},
              BriefItems(r));
    EXPECT_EQ(false, r.value("complete", true));
    EXPECT_EQ(false, r.value("clean", true));
}

// 3e: a report that cannot be written changes nothing about the run but
// is named on standard error and in the log.
TEST_F(RunReport, ReportThatCannotBeWrittenIsNamedAndLeavesTheExitCode) {
    const std::string xml = DataFileXml();
    std::string without = Run(xml, "-noc -s");
    TimedRun plain = last;
    std::string nowhere = "C:\\mendrix\\scratch\\rr-no-such-folder\\report.json";
    std::string text = Run(xml, "-noc -s -json=" + nowhere);
    EXPECT_EQ(plain.exitCode, last.exitCode);
    EXPECT_EQ(0u, last.exitCode);
    // Error 3: the path was not found.
    const std::string named = "Could not write the run report " + nowhere + " (error 3)\r\n";
    EXPECT_NE(std::string::npos, last.errors.find(named)) << last.errors;
    EXPECT_NE(std::string::npos, text.find(named)) << text;
    EXPECT_EQ(std::string::npos, plain.errors.find("Could not write")) << plain.errors;
    EXPECT_EQ(std::string::npos, without.find("Could not write")) << without;
    EXPECT_FALSE(FileExists(nowhere));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
