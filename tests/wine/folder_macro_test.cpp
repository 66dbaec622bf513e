// Folder macros against the prefix's real folders: the Win32 lookups, the
// temporary folder's separator, the length limit and a missing shell folder.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

#include "report/folder_macro.h"
#include "report/message.h"
#include "support/wine_support.h"

namespace {

std::string g_written;
void Record(OutHandle, const char* bytes, size_t count) { g_written.append(bytes, count); }
const MessageSinks kSinks = {Record, nullptr, nullptr, nullptr, nullptr};

std::string WithoutSeparator(std::string folder) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

std::string WindowsFolder() {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string SystemFolder() {
    char buffer[MAX_PATH] = {};
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

// Asked another way than the code under test does.
std::string ShellFolder(int csidl) {
    char buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return "";
    return buffer;
}

class FolderMacros : public testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        g_report = ReportState{reinterpret_cast<OutHandle>(1), nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_written.clear();
    }
    void TearDown() override { g_report = saved_; }
    static std::string Expand(const std::string& path) {
        char* result = ExpandFolderMacro(path.c_str());
        if (!result) return "<none>";
        std::string text = result;
        free(result);
        return text;
    }
    ReportState saved_;
};

TEST_F(FolderMacros, EachWordGivesItsFolderOfThisMachine) {
    std::string startup = ShellFolder(CSIDL_COMMON_STARTUP);
    std::string desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_NE(startup, "");
    ASSERT_NE(desktop, "");
    struct Row {
        int row;
        std::string path;
        std::string expected;
    };
    const Row rows[] = {
        {1, "windows\\win.ini", WindowsFolder() + "\\win.ini"},
        {2, "system", SystemFolder()},
        {3, "system\\drivers\\etc\\hosts", SystemFolder() + "\\drivers\\etc\\hosts"},
        {4, "temp\\x.exe", WithoutSeparator(TempFolder()) + "\\x.exe"},
        {5, "tempest.exe", WithoutSeparator(TempFolder()) + "est.exe"},
        {6, "startup\\run.lnk", startup + "\\run.lnk"},
        {7, "desktop\\a.lnk", desktop + "\\a.lnk"},
        {8, "SYSTEM\\x.dll", "SYSTEM\\x.dll"},
        {9, "C:\\windows\\x.dll", "C:\\windows\\x.dll"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Expand(r.path), r.expected) << "row " << r.row;
        EXPECT_EQ(g_written, "") << "row " << r.row;
    }
    EXPECT_EQ('\\', TempFolder().back()) << "the temporary folder is asked with its separator";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Expand("system").c_str()));
}

// The temporary folder follows TMP; a root folder keeps no separator of its
// own before the rest.
TEST_F(FolderMacros, TemporaryFolderAtARootOrDeeper) {
    char saved[MAX_PATH] = {};
    DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    std::string deep = MakeScratchFolder("tmp folder");
    struct Row {
        int row;
        std::string tmp;
        std::string path;
        std::string expected;
    };
    const Row rows[] = {
        {1, "C:\\", "temp\\x.exe", "C:\\x.exe"},
        {2, deep, "temp\\x.exe", deep + "\\x.exe"},
        {3, deep + "\\", "temp", deep},
    };
    for (const Row& r : rows) {
        SetEnvironmentVariableA("TMP", r.tmp.c_str());
        EXPECT_EQ(Expand(r.path), r.expected) << "row " << r.row;
    }
    SetEnvironmentVariableA("TMP", had ? saved : nullptr);
    EXPECT_EQ(g_written, "");
}

TEST_F(FolderMacros, ResultsOf260OrMoreAreRefusedSilently) {
    size_t windows = WindowsFolder().size();
    size_t temp = TempFolder().size();  // with its separator
    struct Row {
        int row;
        const char* word;
        size_t restLength;  // a backslash, then letters
        size_t length;      // of the result; 0 for none
    };
    const Row rows[] = {
        {1, "windows", 259 - windows, 259},
        {2, "windows", 260 - windows, 0},
        {3, "system", 259 - SystemFolder().size(), 259},
        {4, "system", 260 - SystemFolder().size(), 0},
        // The lookup must fit with the separator it then loses.
        {5, "temp", 259 - temp, 258},
        {6, "temp", 260 - temp, 0},
        {7, "windows", 400, 0},
        {8, "startup", 259 - ShellFolder(CSIDL_COMMON_STARTUP).size(), 259},
        {9, "startup", 260 - ShellFolder(CSIDL_COMMON_STARTUP).size(), 0},
    };
    for (const Row& r : rows) {
        g_written.clear();
        std::string rest = "\\" + std::string(r.restLength - 1, 'r');
        std::string got = Expand(r.word + rest);
        if (r.length)
            EXPECT_EQ(got.size(), r.length) << "row " << r.row;
        else
            EXPECT_EQ(got, "<none>") << "row " << r.row;
        EXPECT_EQ(g_written, "") << "row " << r.row;
    }
}

// With the shared startup folder gone the shell cannot name it.
TEST_F(FolderMacros, MissingStartupFolderIsReported) {
    std::string startup = ShellFolder(CSIDL_COMMON_STARTUP);
    ASSERT_NE(startup, "");
    ASSERT_TRUE(RemoveDirectoryA(startup.c_str())) << startup << " must be empty in a fresh prefix";
    std::string got = Expand("startup\\x.lnk");
    CreateDirectoryA(startup.c_str(), nullptr);
    EXPECT_EQ(got, "<none>");
    EXPECT_EQ(g_written, "Could not obtain the startup directory name\r\n");
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
