// The worked examples of docs/writing-data-files.md, run as the guide shows
// them: each example file from docs/examples/ against a machine set up with
// what it removes, its log compared with the one the guide prints, and the
// machine checked afterwards.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "support/extract_resource_win.h"
#include "support/wine_support.h"
#include "target_control_win.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kBanner[] = "MENDRIX Version 1.07\r\nSingle-threat disinfection and removal tool\r\n";
const char kDemoKey[] = "Software\\GuideDemo";

std::string Resource(const std::string& name) {
    std::string path = "C:\\mendrix\\resource.tmp";
    if (!ExtractResourceFile(name.c_str(), path)) return "";
    std::string bytes = ReadWholeFile(path);
    RemoveFile(path);
    return bytes;
}

std::string WithoutCarriageReturns(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

// The start and finish lines carry the time of the run; the guide shows
// them as "HH:MM on D Month YYYY". The guide's runs are an administrator's:
// the warning a run without the rights begins with is left out.
std::string WithoutTimes(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        for (const char* head : {"System scan started at ", "System scan finished at "})
            if (line.compare(0, strlen(head), head) == 0) line = std::string(head) + "HH:MM on D Month YYYY";
        const char* journal = "Undo journal: C:\\Mendrix\\Undo\\";
        if (line.compare(0, strlen(journal), journal) == 0) line = std::string(journal) + "YYYYMMDD-HHMMSS";
        at = end + 1;
        if (line == "The current user does not have Administrator rights") {
            at = text.find('\n', at) + 1;  // and the line that says what that means
            continue;
        }
        out += line + (end < text.size() ? "\n" : "");
    }
    return out;
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of('\n');
    size_t last = text.find_last_not_of('\n');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The log block the guide shows after the example's file.
std::string GuideLog(const std::string& guide, const std::string& example) {
    std::string marker = "<!-- log: " + example + " -->\n```text\n";
    size_t start = guide.find(marker);
    if (start == std::string::npos) return "(the guide shows no log for " + example + ")";
    start += marker.size();
    size_t end = guide.find("\n```", start);
    return guide.substr(start, end - start);
}

// The log of one run of the example, without the banner.
std::string RunExample(const std::string& name, const std::string& arguments = "") {
    std::string folder = MakeScratchFolder("guide-" + name);
    std::string base = name.substr(0, name.find('.'));
    std::string upper;
    for (char c : base) upper += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string xml = Resource("EXAMPLE_" + upper);
    EXPECT_FALSE(xml.empty()) << name;
    std::string dat = folder + "\\" + base + ".dat", log = folder + "\\run.log";
    EXPECT_TRUE(BuildDataFile(xml, dat));
    ProcessResult r = RunProgram(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc " + arguments);
    EXPECT_EQ(0u, r.exitCode) << r.output;
    std::string text = ReadWholeFile(log);
    size_t banner = text.find(kBanner);
    EXPECT_NE(std::string::npos, banner) << text;
    if (banner != std::string::npos) text = text.substr(banner + strlen(kBanner));
    return Trimmed(WithoutTimes(WithoutCarriageReturns(text)));
}

void ExpectGuideLog(const std::string& example, const std::string& actual) {
    std::string guide = WithoutCarriageReturns(Resource("GUIDE"));
    EXPECT_EQ(Trimmed(GuideLog(guide, example)), actual) << "the log of " << example << " as it is:\n" << actual;
}

void WriteFile(const std::string& path, const std::string& bytes) { ASSERT_TRUE(WriteWholeFile(path, bytes)) << path; }

void MakeFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void SetText(const std::string& key, const char* name, const std::string& data) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle));
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(handle);
}

// The value's text, "(none)" when it is missing, "(no key)" without the key.
std::string TextOf(const std::string& key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(no key)";
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS ? std::string(data) : "(none)";
}

TEST(GuideExamples, Files) {
    MakeFolder("C:\\windows\\guide-files");
    WriteFile("C:\\windows\\guide-files\\dropper.exe", "MZ dropped by the threat");
    // Both scripts are 26 (hexadecimal 1A) bytes long; only one holds the marker.
    const std::string worm = "' GUIDE worm script, 26 b.", users = "' a script of the user's..";
    ASSERT_EQ(26u, worm.size());
    ASSERT_EQ(26u, users.size());
    WriteFile("C:\\windows\\guide-files\\notes.vbs", worm);
    WriteFile("C:\\windows\\guide-files\\other.vbs", users);
    ExpectGuideLog("files.xml", RunExample("files.xml"));
    EXPECT_FALSE(FileExists("C:\\windows\\guide-files\\dropper.exe"));
    EXPECT_FALSE(FileExists("C:\\windows\\guide-files\\notes.vbs"));
    EXPECT_TRUE(FileExists("C:\\windows\\guide-files\\other.vbs"));
}

TEST(GuideExamples, Cut) {
    MakeFolder("C:\\windows\\guide-cut");
    WriteFile("C:\\windows\\guide-cut\\host.com", std::string("HOST-HEAD:") + "VBODY-0123456789" + ":HOST-TAIL");
    ExpectGuideLog("cut.xml", RunExample("cut.xml"));
    EXPECT_EQ("HOST-HEAD::HOST-TAIL", ReadWholeFile("C:\\windows\\guide-cut\\host.com"));
}

TEST(GuideExamples, Stores) {
    MakeFolder("C:\\windows\\guide-store");
    WriteFile("C:\\windows\\guide-store\\dropper.exe", "MZ");
    std::string run = std::string(kDemoKey) + "\\Run";
    SetText(run, "updater", "C:\\Windows\\guide-store\\dropper.exe /silent");
    SetText(run, "keep", "C:\\windows\\notepad.exe");
    ExpectGuideLog("stores.xml", RunExample("stores.xml"));
    EXPECT_EQ("(none)", TextOf(run, "updater"));
    EXPECT_EQ("C:\\windows\\notepad.exe", TextOf(run, "keep"));
    EXPECT_FALSE(FileExists("C:\\windows\\guide-store\\dropper.exe"));
}

TEST(GuideExamples, Registry) {
    std::string settings = std::string(kDemoKey) + "\\Settings", winlogon = std::string(kDemoKey) + "\\Winlogon";
    SetText(settings, "id", "42");
    SetText(winlogon, "Shell", "Explorer.exe guidex.exe");
    SetText(winlogon, "Loader", "C:\\windows\\dropper.exe");
    SetText(winlogon, "Keep", "notepad.exe");
    ExpectGuideLog("registry.xml", RunExample("registry.xml"));
    EXPECT_EQ("(no key)", TextOf(settings, "id"));
    EXPECT_EQ("explorer.exe", TextOf(winlogon, "Shell"));
    EXPECT_EQ("(none)", TextOf(winlogon, "Loader"));
    EXPECT_EQ("notepad.exe", TextOf(winlogon, "Keep"));
}

TEST(GuideExamples, Ini) {
    WriteFile("C:\\windows\\guide.ini",
              "[windows]\r\nload=dropper.exe notepad.exe\r\nrun=\r\n[boot]\r\nshell=Explorer.exe dropper.exe\r\n");
    ExpectGuideLog("ini.xml", RunExample("ini.xml"));
    char value[256];
    GetPrivateProfileStringA("windows", "load", "(none)", value, sizeof value, "C:\\windows\\guide.ini");
    EXPECT_STREQ("(none)", value);
    GetPrivateProfileStringA("boot", "shell", "(none)", value, sizeof value, "C:\\windows\\guide.ini");
    EXPECT_STREQ("explorer.exe", value);
}

TEST(GuideExamples, Services) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager);
    SC_HANDLE service = CreateServiceA(manager, "GuideDemo", "GuideDemo", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\windows\\guide-svc.exe",
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, service) << GetLastError();
    CloseServiceHandle(service);
    ExpectGuideLog("services.xml", RunExample("services.xml"));
    service = OpenServiceA(manager, "GuideDemo", SERVICE_QUERY_STATUS);
    EXPECT_EQ(nullptr, service);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(GuideExamples, Commands) {
    MakeFolder("C:\\windows\\guide-com");
    ASSERT_TRUE(ExtractResourceFile("COM_OK", "C:\\windows\\guide-com\\server.dll"));
    ExpectGuideLog("commands.xml", RunExample("commands.xml"));
    EXPECT_TRUE(FileExists("C:\\windows\\guide-com\\server.dll.called"));
    EXPECT_EQ("cleaned\r\n", ReadWholeFile("C:\\windows\\guide-com\\done.txt"));
}

TEST(GuideExamples, SharesOnlyWithTheSharesOption) {
    ExpectGuideLog("shares.xml", RunExample("shares.xml"));
}

// Two running copies of the memory target stand-in under the names the
// examples use; both load the stand-in's library, target_lib.dll.
class MemoryExamples : public testing::Test {
protected:
    void SetUp() override {
        const std::string folder = "C:\\windows\\guide-mem";
        MakeFolder(folder);
        ASSERT_TRUE(InstallTargetFiles(folder));
        for (const char* name : {"dropper", "helper"}) {
            std::string exe = folder + "\\" + name + ".exe";
            ASSERT_TRUE(CopyFileA((folder + "\\memory_target.exe").c_str(), exe.c_str(), FALSE));
            ASSERT_TRUE(StartTarget(exe, folder + "\\" + name + ".txt", std::string(name) == "helper" ? &helper : &dropper));
        }
    }
    void TearDown() override {
        StopTarget(&dropper);
        StopTarget(&helper);
    }
    // Whether the library's threads in the helper still count, given a second.
    bool LibraryRuns() {
        LONG before = TargetTicks(helper);
        for (int waited = 0; waited < 1000; waited += 50) {
            Sleep(50);
            if (TargetTicks(helper) != before) return true;
        }
        return false;
    }
    Target dropper, helper;
};

TEST_F(MemoryExamples, Processes) {
    ExpectGuideLog("processes.xml", RunExample("processes.xml"));
    DWORD code;
    EXPECT_TRUE(TargetEnded(dropper, &code));
    EXPECT_FALSE(TargetEnded(helper, &code));
    EXPECT_FALSE(TargetHasModule(helper, "target_lib.dll"));
}

TEST_F(MemoryExamples, Threads) {
    ASSERT_TRUE(LibraryRuns());
    ExpectGuideLog("threads.xml", RunExample("threads.xml"));
    EXPECT_FALSE(LibraryRuns());
    DWORD code;
    EXPECT_FALSE(TargetEnded(helper, &code));
    EXPECT_FALSE(TargetEnded(dropper, &code));
}

TEST_F(MemoryExamples, Patches) {
    ExpectGuideLog("patches.xml", RunExample("patches.xml"));
    unsigned char headers[0x200];
    ASSERT_TRUE(ReadTarget(helper, helper.Address("exe"), headers, sizeof headers));
    uint32_t nt = 0, entry = 0;
    memcpy(&nt, headers + 0x3C, 4);
    ASSERT_TRUE(ReadTarget(helper, helper.Address("exe") + nt + 0x28, &entry, 4));
    unsigned char first = 0;
    ASSERT_TRUE(ReadTarget(helper, helper.Address("exe") + entry, &first, 1));
    EXPECT_EQ(0xC3, first);
    DWORD code;
    EXPECT_FALSE(TargetEnded(helper, &code));
}

// The worked example of writing a data file from a removal write-up: the
// mock worm runs as mdxmon.exe from the system folder, the genuine monitor
// under the same name from the Windows folder, and the system keeps a copy
// of the genuine one below the system folder. One run shows each of the
// additions: path ends only the worm's process, the COM registration comes
// back as REG_EXPAND_SZ with its letters, expand writes the Windows folder,
// and subfolders="no" leaves the copy below the system folder alone.
class WriteupExample : public testing::Test {
protected:
    void SetUp() override {
        char windows[MAX_PATH], system[MAX_PATH];
        ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
        ASSERT_NE(0u, GetSystemDirectoryA(system, sizeof system));
        windowsFolder = windows;
        systemFolder = system;
        for (const std::string& folder : {windowsFolder, systemFolder}) {
            ASSERT_TRUE(InstallTargetFiles(folder)) << folder;
            std::string exe = folder + "\\mdxmon.exe";
            ASSERT_TRUE(CopyFileA((folder + "\\memory_target.exe").c_str(), exe.c_str(), FALSE));
            ASSERT_TRUE(StartTarget(exe, folder + "\\mdxmon.txt", folder == systemFolder ? &worm : &genuine));
        }
        MakeFolder(systemFolder + "\\dllcache");
        WriteFile(systemFolder + "\\dllcache\\mdxmon.exe", "MZ the system's copy of the genuine monitor");
        WriteFile(systemFolder + "\\mdxhook.dll", "MZ the worm's COM server");
        SetRegistryValue(HKEY_CURRENT_USER, kRun, "MdxMonitor", REG_SZ, Sz("C:\\WINDOWS\\System32\\mdxmon.exe"));
        SetRegistryValue(HKEY_CURRENT_USER, kRun, "Monitor", REG_SZ, Sz("C:\\WINDOWS\\mdxmon.exe /background"));
        SetRegistryValue(HKEY_CLASSES_ROOT, kServer, "", REG_SZ, Sz("C:\\WINDOWS\\System32\\mdxhook.dll"));
        SetRegistryValue(HKEY_CURRENT_USER, kSetting, "Program", REG_SZ, Sz(systemFolder + "\\mdxmon.exe"));
    }
    void TearDown() override {
        StopTarget(&worm);
        StopTarget(&genuine);
    }
    // The value's data up to its terminator, with its type; "(none)" when
    // it is missing.
    static std::string ValueOf(HKEY root, const char* key, const char* name, DWORD* type) {
        *type = 0;
        HKEY handle;
        if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(no key)";
        char data[512] = {};
        DWORD size = sizeof data - 1;
        LONG result = RegQueryValueExA(handle, name, nullptr, type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(handle);
        return result == ERROR_SUCCESS ? std::string(data) : "(none)";
    }
    static constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const char* kServer = "CLSID\\{5C4D6A1E-2B7F-4E8A-9D3B-0A7E6C1D2F90}\\InProcServer32";
    static constexpr const char* kSetting = "Software\\GuideDemo\\MdxMonitor";
    std::string windowsFolder, systemFolder;
    Target worm, genuine;
};

TEST_F(WriteupExample, OnlyTheWormGoesAndTheRegistrationComesBackAsWindowsWroteIt) {
    ExpectGuideLog("writeup.xml", RunExample("writeup.xml"));
    DWORD code, type;
    EXPECT_TRUE(TargetEnded(worm, &code));
    EXPECT_FALSE(TargetEnded(genuine, &code));
    EXPECT_EQ("(none)", ValueOf(HKEY_CURRENT_USER, kRun, "MdxMonitor", &type));
    EXPECT_EQ("C:\\WINDOWS\\mdxmon.exe /background", ValueOf(HKEY_CURRENT_USER, kRun, "Monitor", &type));
    EXPECT_EQ("%SystemRoot%\\System32\\mdxview.dll", ValueOf(HKEY_CLASSES_ROOT, kServer, "", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(windowsFolder + "\\mdxmon.exe", ValueOf(HKEY_CURRENT_USER, kSetting, "Program", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_FALSE(FileExists(systemFolder + "\\mdxmon.exe"));
    EXPECT_FALSE(FileExists(systemFolder + "\\mdxhook.dll"));
    EXPECT_TRUE(FileExists(systemFolder + "\\dllcache\\mdxmon.exe"));
    EXPECT_TRUE(FileExists(windowsFolder + "\\mdxmon.exe"));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
