// UNREGDLL and EXECUTE end to end: the console program unregisters the
// project's own COM server libraries (one per outcome) and runs commands
// built from a folder macro and a store, on both Windows families; planted
// programs and libraries are never what runs.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "script/json.h"
#include "support/extract_resource_win.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kSelf[] = "C:\\mendrix\\command_test.exe";
const char kAppKey[] = "Software\\Wine\\AppDefaults\\mendrix-cli.exe";

std::string SystemFolder() {
    char buffer[MAX_PATH] = {};
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string StartupFolder() {
    char buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_STARTUP, nullptr, SHGFP_TYPE_CURRENT, buffer))) return "";
    return buffer;
}

// Where CreateProcess would look first for an unquoted path with a space:
// the path up to its first space, as a program.
std::string AtFirstSpace(const std::string& path) { return path.substr(0, path.find(' ')) + ".exe"; }

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof buffer, buffer);
    std::string folder = buffer;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

class CommandRuns : public testing::Test {
protected:
    // Whether the console program is told it runs on Windows 98.
    virtual bool NineX() const { return false; }
    static void SetUpTestSuite() {
        CreateDirectoryA("C:\\mendrix\\com", nullptr);
        for (const char* kind : {"OK", "FALSE", "NOEXPORT", "NOLOAD"}) {
            std::string lower = kind;
            for (char& c : lower) c = static_cast<char>(tolower(c));
            ASSERT_TRUE(ExtractResourceFile((std::string("COM_") + kind).c_str(),
                                            "C:\\mendrix\\com\\com_" + lower + ".dll"));
        }
    }
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) if (c == '/') c = '_';
        folder = MakeScratchFolder(name);
        log = folder + "\\run.log";
        dat = folder + "\\run.dat";
        for (const char* f : {"com_ok", "com_false", "com_noexport", "com_noload"}) {
            RemoveFile(std::string("C:\\mendrix\\com\\") + f + ".dll.called");
            RemoveFile(std::string("C:\\mendrix\\com\\") + f + ".dll.events");
        }
        if (NineX()) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                     nullptr, &key, nullptr));
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
            RegCloseKey(key);
        }
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey); }
    // Runs the elements inside IDENTITY; answers what the run logged
    // between the start and finish lines.
    std::string Run(const std::string& elements, const std::string& options = "") {
        std::string xml = "<CLEANER DataFile=\"T\"><IDENTITY GenericName=\"T\">" + elements + "</IDENTITY></CLEANER>";
        EXPECT_TRUE(BuildDataFile(xml, dat));
        EXPECT_EQ(0u, RunToItsEnd(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc " + options));
        std::string text = ReadWholeFile(log);
        size_t started = text.rfind("System scan started at ");
        size_t finished = text.rfind("\r\nSystem scan finished at ");
        if (started == std::string::npos || finished == std::string::npos) return "<no frame> " + text;
        size_t from = text.find("\r\n", started) + 2;
        return text.substr(from, finished - from);
    }
    // Waits for the program alone: a command it leaves running may hold on
    // to its output, so the output goes to a file, not a pipe.
    DWORD RunToItsEnd(const std::string& commandLine) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA((folder + "\\output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = out;
        startup.hStdInput = nullptr;
        PROCESS_INFORMATION process = {};
        std::string line = commandLine;
        DWORD code = 0xFFFFFFFFu;
        const char* current = currentFolder.empty() ? nullptr : currentFolder.c_str();
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, current, &startup, &process)) {
            WaitForSingleObject(process.hProcess, 60000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        CloseHandle(out);
        return code;
    }
    std::string folder, log, dat;
    std::string currentFolder;  // the console program's; empty: this program's
};

// What depends on the family runs on both; the rest on the NT family.
class Commands : public CommandRuns, public testing::WithParamInterface<bool> {
protected:
    bool NineX() const override { return GetParam(); }
};
using CommandsNt = CommandRuns;

TEST_P(Commands, UnregDllCallsTheEntryWithOleAndReportsOnlySOkAsDone) {
    CopyFileA("C:\\mendrix\\com\\com_ok.dll", (TempFolder() + "\\com_temp.dll").c_str(), FALSE);
    std::string body = Run(
        "<UNREGDLL>C:\\mendrix\\com\\com_ok.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\com_false.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\com_noexport.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\com_noload.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\absent.dll</UNREGDLL>"
        "<UNREGDLL>temp\\com_temp.dll</UNREGDLL>");
    EXPECT_EQ("\r\nUnregistered C:\\mendrix\\com\\com_ok.dll\r\n"
              "\r\nCould not unregister C:\\mendrix\\com\\com_false.dll\r\n"
              "\r\nCould not unregister C:\\mendrix\\com\\com_noexport.dll\r\n"
              "\r\nCould not unregister C:\\mendrix\\com\\com_noload.dll\r\n"
              "\r\nCould not unregister C:\\mendrix\\com\\absent.dll\r\n"
              "\r\nUnregistered " + TempFolder() + "\\com_temp.dll\r\n",
              body);
    // the entry ran inside an initialised apartment; each library was freed
    EXPECT_EQ("ole", ReadWholeFile("C:\\mendrix\\com\\com_ok.dll.called"));
    EXPECT_EQ("ole", ReadWholeFile("C:\\mendrix\\com\\com_false.dll.called"));
    EXPECT_EQ("ole", ReadWholeFile(TempFolder() + "\\com_temp.dll.called"));
    for (const char* f : {"com_ok", "com_false", "com_noexport"})
        EXPECT_EQ("load\nunload\n", ReadWholeFile(std::string("C:\\mendrix\\com\\") + f + ".dll.events")) << f;
    EXPECT_FALSE(FileExists("C:\\mendrix\\com\\com_noload.dll.called"));
    RemoveFile(TempFolder() + "\\com_temp.dll");
    RemoveFile(TempFolder() + "\\com_temp.dll.called");
    RemoveFile(TempFolder() + "\\com_temp.dll.events");
}

TEST_F(CommandsNt, UnregDllWithDefaultMessagesOffWritesNothing) {
    std::string body = Run("<UNREGDLL DefaultMessages=\"off\">C:\\mendrix\\com\\com_ok.dll</UNREGDLL>");
    EXPECT_EQ("", body);
    EXPECT_EQ("ole", ReadWholeFile("C:\\mendrix\\com\\com_ok.dll.called")) << "the work is done all the same";
}

// A file found on disk puts its full path into a store; the quoted command
// names the system folder by its macro and the file by the store.
TEST_P(Commands, QuotedCommandWithFolderMacroAndStoreRunsToItsEnd) {
    ASSERT_TRUE(WriteWholeFile(folder + "\\found.txt", "found it"));
    std::string body = Run(
        "<DISK><DIRECTORY>" + folder + "</DIRECTORY>"
        "<FILE FileName=\"found.txt\"><ACTION store=\"%found%\" storeFlag=\"FullPath\">keep</ACTION></FILE></DISK>"
        "<EXECUTE>\"system\\cmd.exe /c copy %found% " + folder + "\\copied.txt\"</EXECUTE>");
    EXPECT_EQ("found it", ReadWholeFile(folder + "\\copied.txt")) << body;
    EXPECT_EQ(std::string::npos, body.find("Could not execute")) << body;
}

TEST_F(CommandsNt, TheRunWaitsForACommandUpToFiveSecondsAndNoLonger) {
    std::string quick = folder + "\\quick.done", slow = folder + "\\slow.done";
    Run("<EXECUTE>\"" + std::string(kSelf) + " --sleep 1000 " + quick + "\"</EXECUTE>"
        "<EXECUTE>\"" + std::string(kSelf) + " --sleep 6500 " + slow + "\"</EXECUTE>");
    EXPECT_TRUE(FileExists(quick)) << "a command that ends within five seconds is waited for";
    EXPECT_FALSE(FileExists(slow)) << "a longer one is left running";
    // ... and goes on by itself
    for (int i = 0; i < 100 && !FileExists(slow); ++i) Sleep(100);
    EXPECT_TRUE(FileExists(slow));
}

// In one run: unquoted text starts nothing and says nothing; a command
// that cannot start is reported; without its closing quote a command loses
// its last character.
TEST_F(CommandsNt, UnquotedTextsStartNothingAndFailuresAreReported) {
    std::string unquoted = folder + "\\unquoted.done", unclosed = folder + "\\unclosed.done";
    std::string body = Run("<EXECUTE>" + std::string(kSelf) + " --sleep 0 " + unquoted + "</EXECUTE>"
                           "<EXECUTE>\"C:\\nowhere\\missing.exe /x\"</EXECUTE>"
                           "<EXECUTE>\"" + std::string(kSelf) + " --sleep 0 " + unclosed + "X</EXECUTE>");
    EXPECT_EQ("Could not execute command:\r\n    C:\\nowhere\\missing.exe /x", body);
    EXPECT_FALSE(FileExists(unquoted));
    EXPECT_TRUE(FileExists(unclosed));
}

// The run report carries one item per library and command, and a failure's
// code: what the entry answered, or the system's reason when the library
// would not load, had no entry or the command would not start.
TEST_F(CommandsNt, RunReportCarriesTheCodeOfEachFailure) {
    std::string report = folder + "\\run.json";
    Run("<UNREGDLL>C:\\mendrix\\com\\com_ok.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\com_false.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\com_noexport.dll</UNREGDLL>"
        "<UNREGDLL>C:\\mendrix\\com\\absent.dll</UNREGDLL>"
        "<EXECUTE>\"C:\\nowhere\\missing.exe /x\"</EXECUTE>"
        "<EXECUTE>\"" + std::string(kSelf) + " --sleep 0 " + folder + "\\ran.done\"</EXECUTE>",
        "-json=" + report);
    nlohmann::json parsed = nlohmann::json::parse(ReadWholeFile(report), nullptr, false);
    ASSERT_TRUE(parsed.is_object()) << ReadWholeFile(report);
    std::string seen;
    for (const nlohmann::json& item : parsed["items"])
        seen += item["kind"].get<std::string>() + " " + item["outcome"].get<std::string>() + " " +
                std::to_string(item["error"].get<unsigned>()) + "\n";
    EXPECT_EQ("comServer done 0\ncomServer failed 1\ncomServer failed 127\ncomServer failed 126\n"
              "command failed " + std::to_string(parsed["items"][4]["error"].get<unsigned>()) + "\ncommand done 0\n",
              seen);
    EXPECT_NE(0u, parsed["items"][4]["error"].get<unsigned>()) << "a command that did not start says why";
}

// A report-only run loads no library and starts no command.
TEST_F(CommandsNt, ReportOnlyLoadsAndStartsNothing) {
    std::string marker = folder + "\\ran.done";
    std::string command = std::string(kSelf) + " --sleep 0 " + marker;
    std::string body = Run("<UNREGDLL>C:\\mendrix\\com\\com_ok.dll</UNREGDLL><EXECUTE>\"" + command + "\"</EXECUTE>",
                           "-reportonly");
    EXPECT_EQ("Would unregister C:\\mendrix\\com\\com_ok.dll\r\nWould execute command " + command + "\r\n", body);
    EXPECT_FALSE(FileExists("C:\\mendrix\\com\\com_ok.dll.events")) << "not even loaded";
    EXPECT_FALSE(FileExists("C:\\mendrix\\com\\com_ok.dll.called"));
    Sleep(500);
    EXPECT_FALSE(FileExists(marker));
}

// Copies of this program act as the right programs and as planted decoys:
// each appends its command line to "<its path>.ran". In one run: a program
// named through a folder macro and one through a store, both with a space
// in their folder; bare names, found only in the system folder though
// decoys wait in the program's folder and the current folder; a bare name
// found nowhere; a library named bare, and one by a path relative to the
// current folder.
TEST_P(Commands, PlantedProgramsAndLibrariesAreNeverTheOnesRun) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string startup = StartupFolder(), system = SystemFolder(), tools = folder + "\\My Tools";
    currentFolder = folder + "\\current";
    ASSERT_NE(std::string::npos, startup.find(' ')) << startup;
    ASSERT_TRUE(CreateDirectoryA(tools.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(currentFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((currentFolder + "\\lib").c_str(), nullptr));
    CreateDirectoryA("C:\\mendrix\\lib", nullptr);
    const std::string programs[] = {startup + "\\mdxprobe.exe", tools + "\\mdxprobe.exe", system + "\\mdxprobe.exe"};
    const std::string decoys[] = {AtFirstSpace(startup), AtFirstSpace(tools),
                                  "C:\\mendrix\\mdxprobe.exe", currentFolder + "\\mdxprobe.exe",
                                  "C:\\mendrix\\mdxabsent.exe", currentFolder + "\\mdxabsent.exe"};
    for (const std::string& p : programs) ASSERT_TRUE(CopyFileA(self, p.c_str(), FALSE)) << p;
    for (const std::string& d : decoys) ASSERT_TRUE(CopyFileA(self, d.c_str(), FALSE)) << d;
    const std::string libraryFolders[] = {system, "C:\\mendrix", currentFolder, currentFolder + "\\lib",
                                          "C:\\mendrix\\lib"};
    for (const std::string& f : libraryFolders)
        ASSERT_TRUE(CopyFileA("C:\\mendrix\\com\\com_ok.dll", (f + "\\mdxcom.dll").c_str(), FALSE)) << f;

    std::string body = Run(
        "<DISK><DIRECTORY>" + tools + "</DIRECTORY><FILE FileName=\"mdxprobe.exe\">"
        "<ACTION store=\"%tool%\" storeFlag=\"FullPath\">keep</ACTION></FILE></DISK>"
        "<EXECUTE>\"startup\\mdxprobe.exe from-startup\"</EXECUTE>"
        "<EXECUTE>\"%tool% from-store\"</EXECUTE>"
        "<EXECUTE>\"mdxprobe from-bare\"</EXECUTE>"
        "<EXECUTE>\"mdxprobe.exe from-bare-exe\"</EXECUTE>"
        "<EXECUTE>\"mdxabsent /x\"</EXECUTE>"
        "<UNREGDLL>mdxcom.dll</UNREGDLL>"
        "<UNREGDLL>lib\\mdxcom.dll</UNREGDLL>");
    // the messages show the commands as the data file and the store gave them
    EXPECT_NE(std::string::npos,
              body.find("Could not execute command:\r\n    mdxabsent /x"
                        "\r\nUnregistered mdxcom.dll\r\n\r\nUnregistered lib\\mdxcom.dll\r\n"))
        << body;
    EXPECT_EQ(1u, CountOf(body, "Could not execute")) << body;

    // each started by its full path in quotes
    EXPECT_EQ("\"" + programs[0] + "\" from-startup\n", ReadWholeFile(programs[0] + ".ran"));
    EXPECT_EQ("\"" + programs[1] + "\" from-store\n", ReadWholeFile(programs[1] + ".ran"));
    EXPECT_EQ("\"" + programs[2] + "\" from-bare\n\"" + programs[2] + "\" from-bare-exe\n",
              ReadWholeFile(programs[2] + ".ran"));
    for (const std::string& d : decoys) EXPECT_FALSE(FileExists(d + ".ran")) << d << ": " << ReadWholeFile(d + ".ran");
    EXPECT_EQ("ole", ReadWholeFile(system + "\\mdxcom.dll.called"));
    EXPECT_EQ("ole", ReadWholeFile(currentFolder + "\\lib\\mdxcom.dll.called"));
    for (const std::string& f : {std::string("C:\\mendrix"), currentFolder, std::string("C:\\mendrix\\lib")})
        EXPECT_FALSE(FileExists(f + "\\mdxcom.dll.events")) << f;

    for (const std::string& p : programs) {
        RemoveFile(p);
        RemoveFile(p + ".ran");
    }
    for (const std::string& d : decoys) {
        RemoveFile(d);
        RemoveFile(d + ".ran");
    }
    for (const std::string& f : libraryFolders)
        for (const char* suffix : {"", ".called", ".events"}) RemoveFile(f + "\\mdxcom.dll" + suffix);
}

INSTANTIATE_TEST_SUITE_P(Families, Commands, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Win98" : "WinNT"; });

}  // namespace

int main(int argc, char** argv) {
    // A copy under another name only says that it ran, and how.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const char* base = strrchr(self, '\\');
    if (lstrcmpiA(base ? base + 1 : self, "command_test.exe") != 0) {
        HANDLE ran = CreateFileA((std::string(self) + ".ran").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0,
                                 nullptr);
        std::string line = std::string(GetCommandLineA()) + "\n";
        DWORD written = 0;
        SetFilePointer(ran, 0, nullptr, FILE_END);
        WriteFile(ran, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(ran);
        return 0;
    }
    // The test program is also the command the runs start: sleep, then
    // leave a marker file.
    if (argc == 4 && strcmp(argv[1], "--sleep") == 0) {
        Sleep(static_cast<DWORD>(atoi(argv[2])));
        WriteWholeFile(argv[3], "done");
        return 0;
    }
    return RunAllTests(argc, argv);
}
