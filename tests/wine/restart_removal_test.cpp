// Files in use are left for Windows to remove when it restarts, end to end
// on both families, in one machine and one restart: target processes of
// our own run from four folders, each holding its program and library (in
// use, as Windows holds a running program) and a file it keeps open. Per
// family one folder is scanned and left scheduled, one is scanned and put
// back with -undo; a report-only run first schedules nothing. Wine's
// restart (wineboot -r) then carries out the NT family's pending
// operations and WININIT.INI's [rename] lines: the scheduled files are
// gone or moved, the undone ones stay, entries of others are carried out
// too, and a second scan finds nothing. The run reports of these runs,
// and of a run that failed and one that cannot be read, then make the
// fleet view.
#include <windows.h>
#include <expat.h>
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "script/json.h"
#include "support/wine_support.h"
#include "target_control_win.h"
#include "target_protocol.h"

using json = nlohmann::json;

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kReports[] = "C:\\mendrix\\scratch\\reports";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kComputerName[] = "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
// Entries of other programs, made before any run: they must survive every
// run and undo, and be carried out at the restart as well.
const char kOtherNt[] = "C:\\mendrix\\scratch\\other-nt.tmp";
const char kOtherWininit[] = "[rename]\r\nNUL=C:\\MENDRIX\\SCRATCH\\OTHER9X.TMP\r\n";
const char kOther9x[] = "C:\\mendrix\\scratch\\other9x.tmp";

std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

std::string WininitPath() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return In(windows, "wininit.ini");
}

std::string ShortPath(const std::string& path) {
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return shortPath;
}

// PendingFileRenameOperations as (source, destination) pairs, in ANSI, sorted.
std::vector<std::pair<std::string, std::string>> PendingOperations() {
    std::vector<std::pair<std::string, std::string>> pairs;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return pairs;
    DWORD type = 0, size = 0;
    std::vector<char> value;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        value.resize(size + 2, '\0');
        RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size);
    }
    RegCloseKey(key);
    for (size_t at = 0; at < value.size() && value[at];) {
        std::string from = value.data() + at;
        at += from.size() + 1;
        std::string to = at < value.size() ? value.data() + at : "";
        at += to.size() + 1;
        pairs.emplace_back(from, to);
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

void SetComputerName(const std::string& name) {
    SetRegistryValue(HKEY_LOCAL_MACHINE, kComputerName, "ComputerName", REG_SZ, Sz(name));
}

json ReadReport(const std::string& path) {
    json report = json::parse(ReadWholeFile(path), nullptr, false);
    EXPECT_TRUE(report.is_object()) << path;
    return report.is_object() ? report : json::object();
}

// Each item's (kind, subject, action, outcome, error), sorted.
std::vector<std::string> ItemsOf(const json& report) {
    std::vector<std::string> items;
    for (const json& i : report.value("items", json::array()))
        items.push_back(i.value("kind", "") + " " + i.value("subject", "") + " " + i.value("action", "") + " " +
                        i.value("outcome", "") + " " + std::to_string(i.value("error", 0)));
    std::sort(items.begin(), items.end());
    return items;
}

// One folder of the machine: the target's program and library and the file
// it holds, the quarantine a move goes to, and the target running there.
struct Place {
    std::string folder, quarantine;
    Target target;

    std::string Library() const { return In(folder, "target_lib.dll"); }
    std::string Program() const { return In(folder, "memory_target.exe"); }
    std::string Held() const { return In(folder, "held.bin"); }
    std::string Moved() const { return In(quarantine, "held.bin"); }

    void Plant(const std::string& name) {
        folder = MakeScratchFolder(name);
        quarantine = MakeScratchFolder(name + "-q");
        ASSERT_TRUE(CopyFileA("C:\\mendrix\\memory_target.exe", Program().c_str(), FALSE));
        ASSERT_TRUE(CopyFileA("C:\\mendrix\\target_lib.dll", Library().c_str(), FALSE));
        ASSERT_TRUE(WriteWholeFile(Held(), "kept open by the target"));
        SetEnvironmentVariableA(TARGET_HOLD_FILE, Held().c_str());
        bool started = StartTarget(Program(), In("C:\\mendrix\\scratch", name + ".target.txt"), &target);
        SetEnvironmentVariableA(TARGET_HOLD_FILE, nullptr);
        ASSERT_TRUE(started) << name;
    }
    // The data file: delete the program and the library, move the held file.
    std::string Xml() const {
        return "<CLEANER DataFile=\"RS.Test\" Version=\"1.0\" Type=\"Trojan\"><IDENTITY GenericName=\"RSThreat\">"
               "<DISK><DIRECTORY>" + folder + "</DIRECTORY>"
               "<FILE FileName=\"target_lib.dll\"><ACTION>delete</ACTION></FILE>"
               "<FILE FileName=\"memory_target.exe\"><ACTION>delete</ACTION></FILE>"
               "<FILE FileName=\"held.bin\"><ACTION destination=\"" + Moved() + "\">move</ACTION></FILE>"
               "</DISK></IDENTITY></CLEANER>";
    }
    bool AllThere() const {
        return FileExists(Library()) && FileExists(Program()) && FileExists(Held()) && !FileExists(Moved());
    }
};

// A scan of the place with its data file; the data file and the log are
// kept apart from every place.
ProcessResult Scan(const Place& place, const std::string& options = "") {
    const std::string dat = "C:\\mendrix\\scratch\\run.dat";
    EXPECT_TRUE(BuildDataFile(place.Xml(), dat));
    ProcessResult r = RunProgram(std::string(kCli) + " -noc -df=" + dat + " -lf=C:\\mendrix\\scratch\\run.log " +
                                 options);
    RemoveFile(dat);
    return r;
}

// The lines a real run writes for the three files, whatever their order.
void ExpectScheduledLines(const Place& place, const std::string& out) {
    for (const std::string& file : {place.Library(), place.Program()})
        EXPECT_EQ(1u, CountOf(out, " found in file " + file + "\r\nFile deletion failed\r\n\r\n"
                                   "File will be removed when Windows restarts\r\n")) << file << out;
    EXPECT_EQ(1u, CountOf(out, "Moving " + place.Held() + " to " + place.Moved() +
                                   "\r\nCould not move file\r\nFile will be moved when Windows restarts\r\n"))
        << out;
    EXPECT_EQ(1u, CountOf(out, "\tFiles found                         : 2\r\n"
                               "\tFiles deleted                       : 0\r\n"
                               "\tFiles to be removed at restart      : 3\r\n")) << out;
}

// A line of the fleet's text with each run of two blanks or more as "|":
// its cells, which never hold two blanks in a row.
std::string Cells(const std::string& line) {
    std::string out;
    for (size_t at = 0; at < line.size(); ++at) {
        if (line.compare(at, 2, "  ") != 0) {
            out += line[at];
            continue;
        }
        out += '|';
        while (at + 1 < line.size() && line[at + 1] == ' ') ++at;
    }
    return out;
}

// The page as an XML reader sees it: every element's name, and the text.
struct PageParts {
    std::set<std::string> elements;
    std::string text;
};
void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    PageParts* parts = static_cast<PageParts*>(data);
    parts->elements.insert(name);
    for (const XML_Char** a = attributes; *a; a += 2) parts->elements.insert(std::string("@") + a[0]);
}
void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    static_cast<PageParts*>(data)->text.append(text, static_cast<size_t>(length)).append("|");
}

// ---------------------------------------------------------------- the machine

class RestartRemoval : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InstallTargetFiles("C:\\mendrix")); }
    void TearDown() override {
        for (Place* p : {&ntKept, &ntUndone, &w9Kept, &w9Undone}) StopTarget(&p->target);
        PretendWindows98("mendrix-cli.exe", false);
    }
    Place ntKept, ntUndone, w9Kept, w9Undone;
};

TEST_F(RestartRemoval, FilesInUseGoAtTheRestartUnlessUndoneOnBothFamilies) {
    char originalName[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD nameSize = sizeof originalName;
    ASSERT_TRUE(GetComputerNameA(originalName, &nameSize));
    MakeScratchFolder("reports");
    ASSERT_TRUE(WriteWholeFile(kOtherNt, "another program's leftover"));
    ASSERT_TRUE(WriteWholeFile(kOther9x, "another program's leftover"));
    ASSERT_TRUE(MoveFileExA(kOtherNt, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    const std::vector<std::pair<std::string, std::string>> others = PendingOperations();
    ASSERT_EQ(1u, others.size());
    ASSERT_TRUE(WriteWholeFile(WininitPath(), kOtherWininit));
    ntKept.Plant("nt-kept");
    ntUndone.Plant("nt-undone");
    w9Kept.Plant("w9-kept");
    w9Undone.Plant("w9-undone");
    ASSERT_FALSE(HasFatalFailure());

    // A report-only run says what it would leave for the restart, and
    // leaves nothing.
    SetComputerName("ACCT-PC01");
    ProcessResult quiet = Scan(ntKept, "-reportonly -json=" + In(kReports, "acct-pc01-first.json"));
    EXPECT_EQ(0u, quiet.exitCode) << quiet.output;
    for (const std::string& file : {ntKept.Library(), ntKept.Program()})
        EXPECT_EQ(1u, CountOf(quiet.output, "Would delete file " + file +
                                                "\r\nWould remove the file when Windows restarts, since it is in use\r\n"))
            << quiet.output;
    EXPECT_EQ(1u, CountOf(quiet.output, "Would move " + ntKept.Held() + " to " + ntKept.Moved() +
                                            "\r\nWould move the file when Windows restarts, since it is in use\r\n"))
        << quiet.output;
    EXPECT_EQ(0u, CountOf(quiet.output, "Files to be removed at restart")) << quiet.output;
    EXPECT_EQ(others, PendingOperations());
    EXPECT_EQ(false, ReadReport(In(kReports, "acct-pc01-first.json")).value("rebootRequired", true));

    // NT family: scheduled, then taken back by -undo before the restart.
    ProcessResult undone = Scan(ntUndone);
    EXPECT_EQ(3010u, undone.exitCode) << undone.output;
    EXPECT_EQ(others.size() + 3, PendingOperations().size());
    ProcessResult undo = RunProgram(std::string(kCli) + " -undo");
    EXPECT_EQ(0u, undo.exitCode) << undo.output;
    for (const std::string& file : {ntUndone.Library(), ntUndone.Program(), ntUndone.Held()})
        EXPECT_EQ(1u, CountOf(undo.output, "Restored file " + file + "\r\n")) << undo.output;
    EXPECT_EQ(1u, CountOf(undo.output, "3 restored, 0 not restored\r\n")) << undo.output;
    EXPECT_EQ(others, PendingOperations());

    // NT family: scheduled and kept, with its lines, counts, exit code and report.
    SetComputerName("ACCT-PC02");
    ProcessResult kept = Scan(ntKept, "-json=" + In(kReports, "acct-pc02.json"));
    EXPECT_EQ(3010u, kept.exitCode) << kept.output;
    ExpectScheduledLines(ntKept, kept.output);
    std::vector<std::pair<std::string, std::string>> expected = others;
    expected.emplace_back("\\??\\" + ntKept.Library(), "");
    expected.emplace_back("\\??\\" + ntKept.Program(), "");
    expected.emplace_back("\\??\\" + ntKept.Held(), "\\??\\" + ntKept.Moved());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, PendingOperations());
    json report = ReadReport(In(kReports, "acct-pc02.json"));
    EXPECT_EQ("ACCT-PC02", report.value("computerName", ""));
    EXPECT_EQ(true, report.value("rebootRequired", false));
    EXPECT_EQ(false, report.value("clean", true));
    EXPECT_EQ(true, report.value("complete", false));
    EXPECT_EQ(0, report["run"].value("result", -1));
    EXPECT_EQ(3, report["totals"].value("scheduled", -1));
    EXPECT_EQ((std::vector<std::string>{"file " + ntKept.Held() + " move scheduled 32",
                                        "file " + ntKept.Program() + " delete scheduled 5",
                                        "file " + ntKept.Library() + " delete scheduled 5"}),
              ItemsOf(report));

    // The 9x family: WININIT.INI, in short names, after the lines there.
    PretendWindows98("mendrix-cli.exe", true);
    ProcessResult undone9x = Scan(w9Undone);
    EXPECT_EQ(3010u, undone9x.exitCode) << undone9x.output;
    ProcessResult undo9x = RunProgram(std::string(kCli) + " -undo");
    EXPECT_EQ(0u, undo9x.exitCode) << undo9x.output;
    EXPECT_EQ(1u, CountOf(undo9x.output, "3 restored, 0 not restored\r\n")) << undo9x.output;
    EXPECT_EQ(kOtherWininit, ReadWholeFile(WininitPath()));

    ProcessResult kept9x = Scan(w9Kept);
    EXPECT_EQ(3010u, kept9x.exitCode) << kept9x.output;
    ExpectScheduledLines(w9Kept, kept9x.output);
    std::string wininit = ReadWholeFile(WininitPath());
    EXPECT_EQ(0u, wininit.find(kOtherWininit)) << wininit;
    for (const std::string& line : {"NUL=" + ShortPath(w9Kept.Library()), "NUL=" + ShortPath(w9Kept.Program()),
                                    ShortPath(w9Kept.quarantine) + "\\held.bin=" + ShortPath(w9Kept.Held())})
        EXPECT_EQ(1u, CountOf(wininit, "\r\n" + line + "\r\n")) << line << "\n" << wininit;
    EXPECT_EQ(5u, CountOf(wininit, "\r\n")) << wininit;
    PretendWindows98("mendrix-cli.exe", false);
    EXPECT_EQ(expected, PendingOperations());

    // Windows restarts once the targets have let go.
    for (Place* p : {&ntKept, &ntUndone, &w9Kept, &w9Undone}) StopTarget(&p->target);
    ProcessResult restart = RunProgram("wineboot.exe -r");
    EXPECT_EQ(0u, restart.exitCode) << restart.output;
    for (const Place* p : {&ntKept, &w9Kept}) {
        EXPECT_FALSE(FileExists(p->Library())) << p->folder;
        EXPECT_FALSE(FileExists(p->Program())) << p->folder;
        EXPECT_FALSE(FileExists(p->Held())) << p->folder;
        EXPECT_EQ("kept open by the target", ReadWholeFile(p->Moved())) << p->folder;
    }
    EXPECT_TRUE(ntUndone.AllThere());
    EXPECT_TRUE(w9Undone.AllThere());
    EXPECT_FALSE(FileExists(kOtherNt));
    EXPECT_FALSE(FileExists(kOther9x));
    EXPECT_TRUE(PendingOperations().empty());

    // A second run finds nothing on either family. Its report is a second
    // later than the report-only run's at least, for the fleet to tell
    // which of the machine's two is the latest.
    Sleep(1000);
    SetComputerName("ACCT-PC01");
    ProcessResult again = Scan(ntKept, "-json=" + In(kReports, "acct-pc01.json"));
    EXPECT_EQ(0u, again.exitCode) << again.output;
    EXPECT_EQ(1u, CountOf(again.output, "\tFiles found                         : 0\r\n")) << again.output;
    EXPECT_EQ(true, ReadReport(In(kReports, "acct-pc01.json")).value("clean", false));
    PretendWindows98("mendrix-cli.exe", true);
    ProcessResult again9x = Scan(w9Kept);
    EXPECT_EQ(0u, again9x.exitCode) << again9x.output;
    EXPECT_EQ(1u, CountOf(again9x.output, "\tFiles found                         : 0\r\n")) << again9x.output;
    PretendWindows98("mendrix-cli.exe", false);

    // The rest of the fleet: a machine where a move failed outright, one
    // whose run found no data file, and a report cut short.
    SetComputerName("LAB-PC07");
    Place lab;
    lab.folder = MakeScratchFolder("lab");
    lab.quarantine = "C:\\mendrix\\scratch\\no-such-folder";
    ASSERT_TRUE(WriteWholeFile(lab.Held(), "a sample"));
    ProcessResult failedMove = Scan(lab, "-json=" + In(kReports, "lab-pc07.json"));
    EXPECT_EQ(0u, failedMove.exitCode) << failedMove.output;
    EXPECT_EQ(0u, CountOf(failedMove.output, "when Windows restarts")) << failedMove.output;
    SetComputerName("RECEPTION");
    ProcessResult noData = RunProgram(std::string(kCli) + " -noc -df=C:\\mendrix\\scratch\\missing.dat -json=" +
                                      In(kReports, "reception.json"));
    EXPECT_EQ(3u, noData.exitCode) << noData.output;
    std::string whole = ReadWholeFile(In(kReports, "acct-pc02.json"));
    ASSERT_TRUE(WriteWholeFile(In(kReports, "front-desk.json"), whole.substr(0, whole.size() / 2)));
    SetComputerName(originalName);
}

// The reports the test above left, as the fleet sees them. A machine with
// two reports is shown by its later one.
TEST_F(RestartRemoval, FleetViewOfTheReports) {
    ASSERT_TRUE(FileExists(In(kReports, "acct-pc02.json"))) << "the restart test leaves the reports";
    const char* const rows[][2] = {
        // the report; the row, its time aside
        {"acct-pc01", "ACCT-PC01|RS.Test|completed|0|0|0|0|0|yes|clean"},
        {"acct-pc02", "ACCT-PC02|RS.Test|completed|3|0|3|0|0|no|restart needed"},
        {"lab-pc07", "LAB-PC07|RS.Test|completed|1|0|0|1|0|no|still infected"},
        {"reception", "RECEPTION|noDataFile|0|0|0|0|0|no|failed"},  // no data file: no threat
    };
    ProcessResult r = RunProgram(std::string("C:\\mendrix\\mendrix-dat.exe fleet ") + kReports +
                                 " --csv C:\\mendrix\\scratch\\fleet.csv --html C:\\mendrix\\scratch\\fleet.html");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    std::string text = r.output, csv = ReadWholeFile("C:\\mendrix\\scratch\\fleet.csv");
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::string expected = "Machine|When|Threat|Result|Found|Changed|Scheduled|Failed|Not examined|Clean|State\n";
    std::string expectedCsv =
        "machine,when,threat,result,found,changed,scheduled,failed,notExamined,clean,state,report,problem\r\n";
    for (const auto& row : rows) {
        std::string report = In(kReports, std::string(row[0]) + ".json");
        std::string when = ReadReport(report)["run"].value("finished", "?");
        when[10] = ' ';
        std::string cells = row[1];
        expected += cells.insert(cells.find('|'), "|" + when) + "\n";
        if (cells.find("|RS.Test") == std::string::npos) cells.insert(cells.find('|', cells.find('|') + 1), "|");
        std::replace(cells.begin(), cells.end(), '|', ',');
        expectedCsv += cells + "," + report + ",\r\n";
    }
    std::string lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        lines += Cells(text.substr(at, end - at)) + "\n";
    }
    EXPECT_EQ(expected + "\n4 machines: 1 clean, 1 restart needed, 1 still infected, 1 failed\n"
                         "Totals: found 4, changed 0, scheduled 3, failed 1, not examined 0\n"
                         "1 older report left out: a later report of the same machine is shown\n"
                         "Could not read " + In(kReports, "front-desk.json") +
                  ": not JSON (a report cut short, or another file)\n",
              lines);
    EXPECT_EQ(expectedCsv + ",,,,,,,,,,unreadable," + In(kReports, "front-desk.json") +
                  ",\"not JSON (a report cut short, or another file)\"\r\n",
              csv);

    // The page: well-formed, naming every machine, fetching and running nothing.
    std::string page = ReadWholeFile("C:\\mendrix\\scratch\\fleet.html");
    PageParts parts;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &parts);
    XML_SetElementHandler(parser, OnStart, nullptr);
    XML_SetCharacterDataHandler(parser, OnText);
    EXPECT_EQ(XML_STATUS_OK, XML_Parse(parser, page.data(), static_cast<int>(page.size()), 1))
        << XML_ErrorString(XML_GetErrorCode(parser)) << " at line " << XML_GetCurrentLineNumber(parser);
    XML_ParserFree(parser);
    for (const char* name : {"|ACCT-PC01|", "|ACCT-PC02|", "|LAB-PC07|", "|RECEPTION|", "front-desk.json|"})
        EXPECT_NE(std::string::npos, parts.text.find(name)) << name;
    for (const char* forbidden : {"script", "link", "img", "iframe", "object", "embed", "@src", "@href"})
        EXPECT_EQ(0u, parts.elements.count(forbidden)) << forbidden;
    EXPECT_EQ(1u, parts.elements.count("svg"));
    EXPECT_EQ(std::string::npos, page.find("http")) << "no address of any kind";
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
