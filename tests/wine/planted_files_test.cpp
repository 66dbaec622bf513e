// What a limited user may plant for the administrator's run, end to end:
// a library under a system library's name beside the programs, with a DLL
// override that makes Wine prefer it, is never loaded by the console
// program's scan (the rights check, the NT share functions, and svrapi under
// Windows 98; the share stand-ins stand in the system folder) nor by the
// windowed program's toolbar; and a log, run report or undo log path made
// beforehand as a hard link to another file leaves that file as it was,
// while the run goes on and ends as usual.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "script/json.h"
#include "support/extract_resource_win.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kGui[] = "C:\\mendrix\\mendrix.exe";
const char kSelf[] = "C:\\mendrix\\planted_files_test.exe";
const char kUndoRoot[] = "C:\\Mendrix\\Undo";
const char* const kPlanted[] = {"netapi32", "comctl32", "svrapi"};
const char* const kPrograms[] = {"mendrix-cli.exe", "mendrix.exe", "planted_files_test.exe"};
const char kLoadOption[] = "--load-bare";

std::string Beside(const std::string& name) { return "C:\\mendrix\\" + name + ".dll"; }
std::string Marker(const std::string& name) { return Beside(name) + ".loaded"; }

// The programs that loaded any planted library, by library.
std::string Markers() {
    std::string seen;
    for (const char* name : kPlanted)
        if (FileExists(Marker(name))) seen += std::string(name) + ": " + ReadWholeFile(Marker(name));
    return seen;
}

void ClearMarkers() {
    for (const char* name : kPlanted) RemoveFile(Marker(name));
}

void ForgetWindows98(const char* program) {
    HKEY key;
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + program;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, "Version");
    RegCloseKey(key);
}

// The link count of a file, or 0.
DWORD LinksOf(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION facts = {};
    DWORD links = GetFileInformationByHandle(file, &facts) ? facts.nNumberOfLinks : 0;
    CloseHandle(file);
    return links;
}

// Creates link as a second name of target; kernel32 has it from 2000 on.
bool HardLink(const std::string& link, const std::string& target) {
    typedef BOOL(WINAPI * CreateHardLinkFn)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
    CreateHardLinkFn create =
        reinterpret_cast<CreateHardLinkFn>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateHardLinkA"));
    return create && create(link.c_str(), target.c_str(), nullptr) && LinksOf(target) == 2;
}

HWND g_toolbarOwner;
DWORD g_guiProcess;

BOOL CALLBACK FindToolbar(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != g_guiProcess || !FindWindowExA(window, nullptr, "ToolbarWindow32", nullptr)) return TRUE;
    g_toolbarOwner = window;
    return FALSE;
}

// Starts the windowed program, waits until its main window shows its
// toolbar and closes it. Answers whether the toolbar was there and the
// program ended by itself.
bool ShowGuiToolbar() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    char line[] = "C:\\mendrix\\mendrix.exe";
    if (!CreateProcessA(kGui, line, nullptr, nullptr, FALSE, 0, nullptr, "C:\\mendrix", &startup, &process))
        return false;
    g_guiProcess = process.dwProcessId;
    g_toolbarOwner = nullptr;
    for (int i = 0; i < 300 && !g_toolbarOwner; ++i) {
        EnumWindows(FindToolbar, 0);
        if (!g_toolbarOwner) Sleep(100);
    }
    if (g_toolbarOwner) PostMessageA(g_toolbarOwner, WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return g_toolbarOwner != nullptr && ended;
}

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"Mx.Planted\" Type=\"Worm\"><IDENTITY GenericName=\"MxPlanted\">" + body +
           "</IDENTITY></CLEANER>";
}

class Planted : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : kPlanted) ASSERT_TRUE(ExtractResourceFile("PLANTED_MARKER", Beside(name))) << name;
        ASSERT_TRUE(ExtractResourceFile("MENDRIX_GUI", kGui));
        // Native libraries in the system folder too, so that the override
        // alone cannot tell which of the two a program loads.
        ASSERT_NE("", InstallSystemLibrary("NETAPI32_STANDIN", "netapi32.dll"));
        ASSERT_NE("", InstallSystemLibrary("SVRAPI_STANDIN", "svrapi.dll"));
        for (const char* program : kPrograms) {
            std::string key = std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides";
            for (const char* name : kPlanted)
                SetRegistryValue(HKEY_CURRENT_USER, key, name, REG_SZ, Sz("native,builtin"));
        }
    }
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        dat = folder + "\\run.dat";
        RemoveFolderTree(kUndoRoot);
        ClearMarkers();
    }
    void TearDown() override {
        ForgetWindows98("mendrix-cli.exe");
        RemoveFolderTree(kUndoRoot);
    }
    ProcessResult Cli(const std::string& options) { return RunProgram(std::string(kCli) + " " + options); }
    std::string folder, dat;
};

TEST_F(Planted, LibrariesBesideTheProgramsAreNeverLoaded) {
    // 1: the plant works: a bare name finds each library beside the program
    // that asks for it.
    for (const char* name : kPlanted) {
        ProcessResult r = RunProgram(std::string(kSelf) + " " + kLoadOption + " " + name + ".dll");
        EXPECT_EQ(0u, r.exitCode) << name;
        EXPECT_EQ(std::string(kSelf) + "\r\n", ReadWholeFile(Marker(name))) << name;
    }
    ClearMarkers();

    // 2: an NT scan checks the rights and removes the shares.
    ASSERT_TRUE(BuildDataFile(Script("<EXECUTE>removeShares</EXECUTE>"), dat));
    ProcessResult nt = Cli("-noc -s -df=" + dat + " -lf=" + folder + "\\nt.log");
    EXPECT_EQ(0u, nt.exitCode) << nt.output;
    EXPECT_NE(std::string::npos, nt.output.find("\r\nDisabling all open shares\r\n")) << nt.output;
    EXPECT_EQ(std::string::npos, nt.output.find("Administrator rights")) << "the stand-in lists the user";
    EXPECT_EQ("", Markers());

    // 3: the windowed program builds its toolbar.
    EXPECT_TRUE(ShowGuiToolbar());
    EXPECT_EQ("", Markers());

    // 4: under Windows 98 the shares come from svrapi.
    PretendWindows98("mendrix-cli.exe", true);
    ProcessResult w98 = Cli("-noc -s -df=" + dat + " -lf=" + folder + "\\98.log");
    EXPECT_EQ(0u, w98.exitCode) << w98.output;
    EXPECT_NE(std::string::npos, w98.output.find("\r\nDisabling the open shares\r\n")) << w98.output;
    EXPECT_EQ("", Markers());
}

TEST_F(Planted, LinkedLogReportAndUndoLogLeaveTheirFilesAlone) {
    const std::string precious = "precious bytes of another file\r\n";
    const std::string victim = folder + "\\victim.txt", otherVictim = folder + "\\other.txt";
    const std::string log = folder + "\\run.log", report = folder + "\\run.json";
    ASSERT_TRUE(WriteWholeFile(victim, precious));
    ASSERT_TRUE(WriteWholeFile(otherVictim, precious));
    ASSERT_TRUE(HardLink(log, victim));
    ASSERT_TRUE(HardLink(report, otherVictim));
    ASSERT_TRUE(WriteWholeFile(folder + "\\BAD.EXE", "bad"));
    ASSERT_TRUE(BuildDataFile(Script("<DISK><DIRECTORY>" + folder + "</DIRECTORY>"
                                     "<FILE FileName=\"BAD.EXE\"><ACTION>delete</ACTION></FILE></DISK>"),
                              dat));
    const std::string logLine = "\r\nNot writing the log file " + log + ": it has more than one name or is a link\r\n";
    const std::string reportLine =
        "\r\nNot writing the run report " + report + ": it has more than one name or is a link\r\n";
    auto untouched = [&] {
        return ReadWholeFile(victim) == precious && ReadWholeFile(otherVictim) == precious && LinksOf(victim) == 2;
    };

    // 1: the scan goes on without both, and says so once each on standard
    // output (the report's line once more on standard error).
    ProcessResult scan = Cli("-noc -df=" + dat + " -lf=" + log + " -json=" + report);
    EXPECT_EQ(0u, scan.exitCode) << scan.output;
    EXPECT_EQ(1u, CountOf(scan.output, logLine)) << scan.output;
    EXPECT_EQ(2u, CountOf(scan.output, reportLine)) << scan.output;
    EXPECT_NE(std::string::npos, scan.output.find("\tFiles deleted                       : 1\r\n")) << scan.output;
    EXPECT_EQ(std::string::npos, scan.output.find("Unable to open log file")) << scan.output;
    EXPECT_FALSE(FileExists(folder + "\\BAD.EXE"));
    EXPECT_TRUE(untouched());

    // 2: so does the undo command, which puts the file back.
    ProcessResult undo = Cli("-undo -lf=" + log + " -json=" + report);
    EXPECT_EQ(0u, undo.exitCode) << undo.output;
    EXPECT_EQ(1u, CountOf(undo.output, logLine)) << undo.output;
    EXPECT_EQ(2u, CountOf(undo.output, reportLine)) << undo.output;
    EXPECT_EQ("bad", ReadWholeFile(folder + "\\BAD.EXE"));
    EXPECT_TRUE(untouched());

    // 3: a file of one name is written as before: the log appended to, the
    // report emptied first.
    const std::string ownLog = folder + "\\own.log", ownReport = folder + "\\own.json";
    ASSERT_TRUE(WriteWholeFile(ownLog, "earlier run\r\n"));
    ASSERT_TRUE(WriteWholeFile(ownReport, std::string(100000, 'x')));
    ASSERT_TRUE(WriteWholeFile(folder + "\\BAD.EXE", "bad"));
    ProcessResult own = Cli("-noc -df=" + dat + " -lf=" + ownLog + " -json=" + ownReport);
    EXPECT_EQ(0u, own.exitCode) << own.output;
    EXPECT_EQ(std::string::npos, own.output.find("Not writing")) << own.output;
    EXPECT_EQ(0u, ReadWholeFile(ownLog).find("earlier run\r\n\r\n\r\nMENDRIX Version ")) << ReadWholeFile(ownLog);
    nlohmann::json parsed = nlohmann::json::parse(ReadWholeFile(ownReport), nullptr, false);
    EXPECT_TRUE(parsed.is_object()) << ReadWholeFile(ownReport).substr(0, 200);

    // 4: the 9x family has no links and opens the log as it always did.
    PretendWindows98("mendrix-cli.exe", true);
    ProcessResult w98 = Cli("-noc -df=" + dat + " -lf=" + log);
    EXPECT_EQ(0u, w98.exitCode) << w98.output;
    EXPECT_EQ(std::string::npos, w98.output.find("Not writing")) << w98.output;
    EXPECT_EQ(0u, ReadWholeFile(victim).find(precious + "\r\n\r\nMENDRIX Version ")) << ReadWholeFile(victim);
    EXPECT_EQ("", Markers());
}

}  // namespace

int main(int argc, char** argv) {
    // The proof of the plant: a bare-name load in a process of its own, which
    // reads the DLL overrides this test sets as it starts.
    if (argc == 3 && strcmp(argv[1], kLoadOption) == 0) {
        HMODULE library = LoadLibraryA(argv[2]);
        if (!library) return 1;
        FreeLibrary(library);
        return 0;
    }
    return RunAllTests(argc, argv);
}
