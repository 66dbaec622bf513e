// Registry keys and values, INI file entries and services, end to end: the
// console program runs data files against real keys, INI files and services
// of a stand-in program, and each test compares its scratch key, folder and
// the service list before and after the run.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>
#include <map>
#include <string>
#include <vector>

#include "standin_service_resource.h"
#include "support/extract_resource_win.h"
#include "support/machine_snapshot_win.h"
#include "support/service_control_win.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kScratchKey[] = "Software\\MendrixTest";

// ---------------------------------------------------------------- registry

// Every key and value below a key: "sub\key\" for a key, "sub\key\@name"
// with the type and the bytes for a value.
using RegistryShot = MachineShot;

std::string TypedBytes(DWORD type, const std::string& bytes) { return std::to_string(type) + ":" + bytes; }

RegistryShot SnapshotOf(HKEY root, const std::string& path) { return RegistryShotOf(root, path); }

void DeleteTree(HKEY root, const std::string& path) { DeleteRegistryTree(root, path); }

void MakeKey(HKEY root, const std::string& path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

std::string Dword(DWORD n) { return std::string(reinterpret_cast<const char*>(&n), 4); }

// ---------------------------------------------------------------- services

using ServiceList = MachineShot;  // "service <name>" -> its state

ServiceList ListServices() {
    ServiceList list;
    AddServices(&list);
    return list;
}

std::string ServiceProgram() { return "C:\\mendrix\\scratch\\standin_service.exe"; }

bool ExtractServiceProgram() {
    CreateDirectoryA("C:\\mendrix\\scratch", nullptr);
    return ExtractResourceFile(MAKEINTRESOURCEA(STANDIN_SERVICE_RESOURCE), ServiceProgram());
}

DWORD StateOf(const std::string& name) { return ServiceState(name); }

// Installs the stand-in under the name and, if asked, starts it.
void Install(const std::string& name, bool start, const char* variant = "") {
    std::string command = "\"" + ServiceProgram() + "\"" + (*variant ? std::string(" ") + variant : "");
    ASSERT_EQ("", InstallService(name, command, start));
}

// Ends the stand-in's process and deletes the service, whatever its state.
void Uninstall(const std::string& name) { UninstallService(name); }

// ---------------------------------------------------------------- runs

// The files of a scratch folder with their bytes, apart from the run's own
// log and data file.
using FolderShot = std::map<std::string, std::string>;
FolderShot FolderOf(const std::string& folder) {
    FolderShot shot;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return shot;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || name == "run.log" || name == "run.dat") continue;
        shot[name] = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "<folder>" : ReadWholeFile(folder + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return shot;
}

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"Mx.Test\" Type=\"Trojan\"><IDENTITY GenericName=\"MxEvil\">" + body +
           "</IDENTITY></CLEANER>";
}

class SystemSettings : public testing::Test {
protected:
    void SetUp() override {
        name = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = MakeScratchFolder(name);
        log = folder + "\\run.log";
        key = std::string(kScratchKey) + "\\" + name;
        DeleteTree(HKEY_CURRENT_USER, key);
        servicesBefore = ListServices();
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, key); }
    // Runs the console program on the script; answers the log of the run.
    std::string Run(const std::string& body, const std::string& options = "") {
        std::string dat = folder + "\\run.dat";
        EXPECT_TRUE(BuildDataFile(Script(body), dat));
        filesBefore = FolderOf(folder);
        ProcessResult r = RunProgram(std::string(kCli) + " -noc -df=" + dat + " -lf=" + log + " " + options);
        EXPECT_EQ(0u, r.exitCode) << r.output;
        RemoveFile(dat);
        filesAfter = FolderOf(folder);
        return ReadWholeFile(log);
    }
    std::string name, folder, log, key;
    ServiceList servicesBefore;
    FolderShot filesBefore, filesAfter;  // around the last run
};

// The summary's line for a counter.
std::string Summary(const char* label, int count) {
    std::string line = std::string("\t") + label;
    line.resize(37, ' ');
    return line + ": " + std::to_string(count) + "\r\n";
}

// ---------------------------------------------------------------- tests

TEST_F(SystemSettings, RegistryValuesAndKeys) {
    HKEY cu = HKEY_CURRENT_USER;
    std::string k = key + "\\";
    std::string longName(300, 'L');
    SetRegistryValue(cu, k + "Run", "one", REG_SZ, Sz("c:\\tools\\one.exe"));
    SetRegistryValue(cu, k + "Run", "two", REG_SZ, Sz("C:\\WINDOWS\\MXEVIL.EXE"));
    SetRegistryValue(cu, k + "Run", "three", REG_EXPAND_SZ, Sz("%windir%\\MxEvil.exe -q"));
    SetRegistryValue(cu, k + "Run", "four", REG_BINARY, "mxfine.exe");  // no terminating zero
    SetRegistryValue(cu, k + "Run", "five", REG_DWORD, Dword(9));
    SetRegistryValue(cu, k + "Run", longName, REG_SZ, Sz("mxevil.exe"));
    SetRegistryValue(cu, k + "Bin", "blob", REG_BINARY, "start mxevil.exe");  // no terminating zero
    SetRegistryValue(cu, k + "Shell", "Shell", REG_SZ, Sz("C:\\WINDOWS\\Explorer.exe"));
    SetRegistryValue(cu, k + "Shell", "Same", REG_SZ, Sz("EXPLORER.EXE"));
    SetRegistryValue(cu, k + "Load", "loader", REG_SZ, Sz("\"C:\\Program Files\\MxEvil\\MxAgent.exe\" /silent"));
    MakeKey(cu, k + "Agents\\mxagent");
    MakeKey(cu, k + "Agents\\other");
    SetRegistryValue(cu, k + "Dw", "one", REG_DWORD, Dword(1));
    SetRegistryValue(cu, k + "Dw", "hex", REG_DWORD, Dword(1));
    SetRegistryValue(cu, k + "Unnamed", "", REG_SZ, Sz("c:\\mxevil.exe"));
    SetRegistryValue(cu, k + "Unnamed", "kept", REG_SZ, Sz("c:\\mxevil.exe"));
    MakeKey(cu, k + "Gone");
    MakeKey(cu, k + "Kept\\Child");
    RegistryShot before = SnapshotOf(cu, key);

    const std::string p = "Software\\MendrixTest\\" + name + "\\";
    auto keyElement = [&](const std::string& sub, const std::string& inside) {
        return "<KEY handle=\"HKEY_CURRENT_USER\" name=\"" + p + sub + "\">" + inside + "</KEY>";
    };
    std::string text = Run(
        "<REGISTRY>" +
        keyElement("Run", "<VALUE><VIRUSVALUE>MxEvil.exe</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        keyElement("Bin", "<VALUE><VIRUSVALUE>mxevil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        keyElement("Shell", "<VALUE name=\"Shell\"><DEFAULT>Explorer.exe</DEFAULT><ACTION>reset</ACTION></VALUE>"
                            "<VALUE name=\"Same\"><DEFAULT>explorer.exe</DEFAULT><ACTION>reset</ACTION></VALUE>") +
        keyElement("Load", "<VALUE name=\"loader\"><VIRUSVALUE>\\MxEvil\\%s.exe</VIRUSVALUE>"
                           "<ACTION storeList=\"AGENT\">delete</ACTION></VALUE>") +
        keyElement("Dw", "<VALUE name=\"one\"><VIRUSVALUE>1</VIRUSVALUE><ACTION>delete</ACTION></VALUE>"
                         "<VALUE name=\"hex\"><VIRUSVALUE>0x1</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        keyElement("Unnamed", "<VALUE name=\"\"><VIRUSVALUE>mxevil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        keyElement("Gone", "<ACTION>delete</ACTION>") + keyElement("Kept", "<ACTION>delete</ACTION>") +
        "</REGISTRY><REGISTRY>" + keyElement("Agents\\AGENT", "<ACTION>delete</ACTION>") + "</REGISTRY>");

    RegistryShot expected = before;
    for (const char* gone : {"Run\\@two", "Run\\@three", "Bin\\@blob", "Load\\@loader", "Dw\\@one",
                             "Unnamed\\@", "Agents\\mxagent\\", "Gone\\"})
        EXPECT_EQ(1u, expected.erase(gone)) << gone;
    EXPECT_EQ(1u, expected.erase("Run\\@" + longName));
    expected["Shell\\@Shell"] = TypedBytes(REG_SZ, Sz("explorer.exe"));
    EXPECT_EQ(expected, SnapshotOf(cu, key));

    const std::string shown = "HKCU\\" + p;
    for (const std::string& line :
         {"Deleted registry value " + shown + "Run\\two\r\n", "Deleted registry value " + shown + "Run\\three\r\n",
          "Deleted registry value " + shown + "Run\\" + longName + "\r\n",
          "Deleted registry value " + shown + "Bin\\blob\r\n", "Reset registry value " + shown + "Shell\\Shell\r\n",
          "Deleted registry value " + shown + "Load\\loader\r\n", "Deleted registry value " + shown + "Dw\\one\r\n",
          "Deleted registry value " + shown + "Unnamed\\Default\r\n", "Deleted registry key " + shown + "Gone\r\n",
          "Deleted registry key " + shown + "Agents\\mxagent\r\n"})
        EXPECT_EQ(1u, CountOf(text, line)) << line << text;
    EXPECT_EQ(2u, CountOf(text, "\r\nChecking for registry keys affected by MxEvil\r\n\r\n"));
    EXPECT_EQ(10u, CountOf(text, "Deleted registry ") + CountOf(text, "Reset registry "));
    EXPECT_NE(std::string::npos, text.find(Summary("Registry keys affected", 10))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Registry keys changed", 10))) << text;
    EXPECT_EQ(servicesBefore, ListServices());
    EXPECT_EQ(filesBefore, filesAfter);
}

// Each build sees its own registry view: a 32-bit program under WOW64 the
// 32-bit one, a 64-bit program the 64-bit one. A 32-bit prefix has one view.
TEST_F(SystemSettings, ValuesAreChangedInTheProgramsOwnRegistryView) {
    BOOL wow64 = FALSE;
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, BOOL*);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process"));
    if (isWow64) isWow64(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 4 && !wow64) GTEST_SKIP() << "a 32-bit prefix has only one registry view";

    const std::string path = "Software\\MendrixTest\\View";
    REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY theirs;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | other, nullptr, &theirs, nullptr));
    RegSetValueExA(theirs, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("mxevil.exe"), 11);
    SetRegistryValue(HKEY_LOCAL_MACHINE, path, "v", REG_SZ, Sz("mxevil.exe"));
    Run("<REGISTRY><KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"" + path +
        "\"><VALUE name=\"v\"><ACTION>delete</ACTION></VALUE></KEY></REGISTRY>");
    EXPECT_EQ(RegistryShot({{"", "key"}}), SnapshotOf(HKEY_LOCAL_MACHINE, path));
    char data[32] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(theirs, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("mxevil.exe", data);
    RegCloseKey(theirs);
    DeleteTree(HKEY_LOCAL_MACHINE, path);
    HKEY view;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\MendrixTest", 0, KEY_ALL_ACCESS | other, &view) == ERROR_SUCCESS) {
        RegDeleteKeyA(view, "View");
        RegCloseKey(view);
    }
}

std::string Profile(const std::string& file, const char* section, const char* entry) {
    char value[512];
    GetPrivateProfileStringA(section, entry, "<missing>", value, sizeof value, file.c_str());
    return value;
}

TEST_F(SystemSettings, IniEntriesAreDeletedOrReset) {
    std::string ini = folder + "\\mx.ini";
    std::string other = folder + "\\other.ini";
    const std::string otherText = "[windows]\r\nload=C:\\WINDOWS\\MXEVIL.EXE\r\n";
    ASSERT_TRUE(WriteWholeFile(ini, "[windows]\r\nload=c:\\windows\\notepad.exe C:\\WINDOWS\\MXEVIL.EXE\r\n"
                                    "run=c:\\tools\\ok.exe\r\n[boot]\r\nshell=C:\\WINDOWS\\MXEVIL.EXE\r\n"
                                    "other=C:\\WINDOWS\\Keep.exe\r\n"));
    ASSERT_TRUE(WriteWholeFile(other, otherText));
    ASSERT_TRUE(WriteWholeFile(folder + "\\mxevil.exe", "MZ"));
    std::string text = Run("<INIFILE FileName=\"" + ini +
                           "\"><KEY section=\"windows\" name=\"load\"><VIRUSVALUE>MxEvil.exe</VIRUSVALUE></KEY>"
                           "<KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>mxevil.exe</VIRUSVALUE>"
                           "<DEFAULT>Explorer.exe</DEFAULT></KEY></INIFILE>"
                           "<INIFILE FileName=\"" + ini +
                           "\"><KEY section=\"boot\" name=\"other\"><DEFAULT>keep.EXE</DEFAULT></KEY>"
                           "<KEY section=\"windows\" name=\"missing\"><VIRUSVALUE>mxevil</VIRUSVALUE></KEY></INIFILE>");
    EXPECT_EQ("<missing>", Profile(ini, "windows", "load"));
    EXPECT_EQ("c:\\tools\\ok.exe", Profile(ini, "windows", "run"));
    EXPECT_EQ("explorer.exe", Profile(ini, "boot", "shell"));
    EXPECT_EQ("C:\\WINDOWS\\Keep.exe", Profile(ini, "boot", "other"));
    FolderShot expectedFiles = filesBefore;
    expectedFiles["mx.ini"] = filesAfter["mx.ini"];
    EXPECT_EQ(expectedFiles, filesAfter);
    EXPECT_EQ(otherText, filesAfter["other.ini"]);

    EXPECT_EQ(2u, CountOf(text, "\r\nRemoving MxEvil entries from " + ini + "\r\n"));
    EXPECT_EQ(2u, CountOf(text, "Entry successfully removed from " + ini + "\r\n"));
    EXPECT_EQ(1u, CountOf(text, "Could not find any MxEvil entries in " + ini + "\r\n"));
    size_t second = text.rfind("\r\nRemoving MxEvil");
    EXPECT_LT(second, text.find("Could not find any")) << "the line follows the second heading";
    EXPECT_NE(std::string::npos, text.find(Summary("Ini file entries found", 2))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Ini file entries changed", 2))) << text;
    EXPECT_EQ(servicesBefore, ListServices());
    EXPECT_EQ(RegistryShot(), SnapshotOf(HKEY_CURRENT_USER, key));
}

// On the NT family the [windows] section of win.ini lives in the registry;
// the profile functions find it there, whatever the file holds.
TEST_F(SystemSettings, MappedWinIniEntryIsRemovedThroughTheProfileFunctions) {
    const char* mapped = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string winIni = std::string(windows) + "\\win.ini";
    std::string fileBefore = ReadWholeFile(winIni);
    ASSERT_TRUE(WritePrivateProfileStringA("windows", "load", "C:\\WINDOWS\\MXEVIL.EXE", "win.ini"));
    ASSERT_EQ("C:\\WINDOWS\\MXEVIL.EXE", Profile("win.ini", "windows", "load"));
    RegistryShot registryBefore = SnapshotOf(HKEY_CURRENT_USER, mapped);

    std::string text = Run("<INIFILE FileName=\"windows\\win.ini\"><KEY section=\"windows\" name=\"load\">"
                           "<VIRUSVALUE>mxevil.exe</VIRUSVALUE></KEY></INIFILE>");
    EXPECT_EQ("<missing>", Profile("win.ini", "windows", "load"));
    EXPECT_NE(std::string::npos, text.find("\r\nRemoving MxEvil entries from " + winIni + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Entry successfully removed from " + winIni + "\r\n")) << text;
    // The entry planted above is all that goes.
    EXPECT_EQ(1u, registryBefore.erase("@load"));
    EXPECT_EQ(registryBefore, SnapshotOf(HKEY_CURRENT_USER, mapped));
    EXPECT_EQ(fileBefore, ReadWholeFile(winIni));
    EXPECT_EQ(filesBefore, filesAfter);
}

class Services : public SystemSettings {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ExtractServiceProgram()); }
};

TEST_F(Services, RunningOneIsStoppedAndRemovedStoppedOneRemovedMissingOneSilent) {
    Install("MxRunning", true);
    Install("MxStopped", false);
    std::string text = Run("<SERVICE>MxRunning</SERVICE><SERVICE>MxStopped</SERVICE><SERVICE>MxMissing</SERVICE>");
    EXPECT_EQ(servicesBefore, ListServices());  // both gone, nothing else touched
    size_t at = text.find("\r\nChecking services\r\n");
    ASSERT_NE(std::string::npos, at) << text;
    std::string work = text.substr(at, text.find("\r\nSystem scan finished") - at);
    EXPECT_EQ("\r\nChecking services\r\n\r\nStopping MxRunning\r\nMxRunning stopped\r\n\r\nMxRunning removed\r\n"
              "\r\nMxStopped removed\r\n",
              work);
    EXPECT_NE(std::string::npos, text.find(Summary("Services found", 2))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Services removed", 2))) << text;
    EXPECT_EQ(RegistryShot(), SnapshotOf(HKEY_CURRENT_USER, key));
    EXPECT_EQ(filesBefore, filesAfter);
}

TEST_F(Services, ServiceThatNeverStopsIsReportedAndStillRemoved) {
    Install("MxHung", true, "never-stop");
    DWORD start = GetTickCount();
    std::string text = Run("<SERVICE>MxHung</SERVICE>");
    printf("run with a service that never stops: %lu ms\n", GetTickCount() - start);
    EXPECT_NE(std::string::npos,
              text.find("\r\nStopping MxHung\r\nMxHung failed to stop\r\n\r\nMxHung removed\r\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Services removed", 1))) << text;
    // Marked for deletion, the entry goes once its process has ended.
    Uninstall("MxHung");
    EXPECT_EQ(servicesBefore, ListServices());
}

// A report-only run finds the Run value, the win.ini entry and the running
// service and counts them, but leaves all three as they were, saying in one
// line each what it would have done.
TEST_F(Services, ReportOnlyChangesNoValueEntryOrService) {
    Install("MxReport", true);
    SetRegistryValue(HKEY_CURRENT_USER, key + "\\Run", "evil", REG_SZ, Sz("C:\\WINDOWS\\MXEVIL.EXE"));
    ASSERT_TRUE(WritePrivateProfileStringA("windows", "load", "C:\\WINDOWS\\MXEVIL.EXE", "win.ini"));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string winIni = std::string(windows) + "\\win.ini";
    RegistryShot registryBefore = SnapshotOf(HKEY_CURRENT_USER, key);
    ServiceList services = ListServices();

    std::string text = Run("<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"" + key +
                               "\\Run\"><VALUE><VIRUSVALUE>mxevil.exe</VIRUSVALUE><ACTION>delete</ACTION></VALUE>"
                               "</KEY></REGISTRY>"
                               "<INIFILE FileName=\"windows\\win.ini\"><KEY section=\"windows\" name=\"load\">"
                               "<VIRUSVALUE>mxevil.exe</VIRUSVALUE></KEY></INIFILE>"
                               "<SERVICE>MxReport</SERVICE>",
                           "-reportonly");
    std::string load = Profile("win.ini", "windows", "load");
    WritePrivateProfileStringA("windows", "load", nullptr, "win.ini");
    EXPECT_EQ(registryBefore, SnapshotOf(HKEY_CURRENT_USER, key));
    EXPECT_EQ("C:\\WINDOWS\\MXEVIL.EXE", load);
    EXPECT_EQ(services, ListServices()) << "still installed and running";
    for (const std::string& line : {"Would delete registry value HKCU\\" + key + "\\Run\\evil\r\n",
                                    "Would remove the entry load of section [windows] from " + winIni + "\r\n",
                                    std::string("\r\nChecking services\r\nWould stop and remove service MxReport\r\n")})
        EXPECT_EQ(1u, CountOf(text, line)) << line << text;
    for (const char* absent : {"Deleted registry", "Entry successfully removed", "Stopping", "removed\r\n"})
        EXPECT_EQ(std::string::npos, text.find(absent)) << absent << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Registry keys affected", 1))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Registry keys changed", 0))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Ini file entries found", 1))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Ini file entries changed", 0))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Services found", 1))) << text;
    EXPECT_NE(std::string::npos, text.find(Summary("Services removed", 0))) << text;
    Uninstall("MxReport");
}

// Wine reports Windows 98 to a program named under AppDefaults: the 9x
// family has no services, and the run leaves them alone.
TEST_F(Services, NothingIsTouchedOnWindows98) {
    PretendWindows98("mendrix-cli.exe", true);
    Install("MxRunning", true);
    std::string text = Run("<SERVICE>MxRunning</SERVICE>");
    PretendWindows98("mendrix-cli.exe", false);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), StateOf("MxRunning"));
    EXPECT_EQ(std::string::npos, text.find("MxRunning")) << text;
    EXPECT_EQ(std::string::npos, text.find("Services")) << text;
    Uninstall("MxRunning");
    EXPECT_EQ(servicesBefore, ListServices());
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
