// Folder macros: which leading words count, how the folder and the rest are
// joined, the 260-character limit and the failure messages.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "report/folder_macro.h"
#include "report/message.h"

namespace {

std::string g_written;
OutHandle const kLog = reinterpret_cast<OutHandle>(1);

void Record(OutHandle, const char* bytes, size_t count) { g_written.append(bytes, count); }
const MessageSinks kSinks = {Record, nullptr, nullptr, nullptr, nullptr};

class FolderMacros : public testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        g_report = ReportState{kLog, nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_written.clear();
        RestoreFolders();
    }
    void TearDown() override {
        g_report = saved_;
        RestoreFolders();
    }
    static void RestoreFolders() {
        for (int i = 0; i < FOLDER_COUNT; ++i) g_standInFolders[i] = kStandInDefaults[i];
    }
    // Answers the expansion, or "<none>".
    static std::string Expand(const std::string& path) {
        char* result = ExpandFolderMacro(path.c_str());
        if (!result) return "<none>";
        std::string text = result;
        free(result);
        return text;
    }
    ReportState saved_;
};

const std::string kStartup = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup";
const std::string kDesktop = "C:\\Documents and Settings\\All Users\\Desktop";

struct ExpandRow {
    int row;
    std::string path;
    std::string expected;
};

// Stand-in folders: C:\WINDOWS, C:\WINDOWS\SYSTEM32, C:\TEMP\ and the two
// all-users folders above.
const ExpandRow kExpandRows[] = {
    {1, "windows\\win.ini", "C:\\WINDOWS\\win.ini"},
    {2, "windowsupdate.log", "C:\\WINDOWSupdate.log"},
    {3, "windows", "C:\\WINDOWS"},
    {4, "system", "C:\\WINDOWS\\SYSTEM32"},
    {5, "system\\drivers\\x.sys", "C:\\WINDOWS\\SYSTEM32\\drivers\\x.sys"},
    {6, "temp\\x.exe", "C:\\TEMP\\x.exe"},
    {7, "tempest.exe", "C:\\TEMPest.exe"},
    {8, "temp", "C:\\TEMP"},
    {9, "startup\\run.lnk", kStartup + "\\run.lnk"},
    {10, "desktop\\a b.lnk", kDesktop + "\\a b.lnk"},
    {11, "Windows\\win.ini", "Windows\\win.ini"},
    {12, "SYSTEM\\x.dll", "SYSTEM\\x.dll"},
    {13, "C:\\windows\\x.dll", "C:\\windows\\x.dll"},
    {14, " windows", " windows"},
    {15, "window", "window"},
    {16, "syste", "syste"},
    {17, "tem", "tem"},
    {18, "", ""},
    {19, "systemwindows", "C:\\WINDOWS\\SYSTEM32windows"},
    {20, "windows\\", "C:\\WINDOWS\\"},
    {21, "%windows%\\x", "%windows%\\x"},
};

TEST_F(FolderMacros, LeadingLowerCaseWordIsReplacedAndTheRestKept) {
    for (const ExpandRow& r : kExpandRows) {
        EXPECT_EQ(Expand(r.path), r.expected) << "row " << r.row;
        EXPECT_EQ(g_written, "") << "row " << r.row;
    }
}

struct FolderRow {
    int row;
    FolderMacro which;
    const char* folder;  // null: cannot be had
    std::string path;
    std::string expected;
    const char* message;
};

const FolderRow kFolderRows[] = {
    // One separator only: the folder's trailing one goes, whichever kind.
    {1, FOLDER_WINDOWS, "C:\\", "windows\\x.ini", "C:\\x.ini", ""},
    {2, FOLDER_WINDOWS, "C:/WIN/", "windows/x.ini", "C:/WIN/x.ini", ""},
    {3, FOLDER_TEMP, "C:\\TEMP\\\\", "temp\\x", "C:\\TEMP\\\\x", ""},
    {4, FOLDER_TEMP, "C:\\TEMP", "temp\\x", "C:\\TEMP\\x", ""},
    {5, FOLDER_STARTUP, "D:\\Startup\\", "startup\\x", "D:\\Startup\\x", ""},
    {6, FOLDER_SYSTEM, "", "system\\x", "\\x", ""},
    // Each folder that cannot be had is named in its own message.
    {7, FOLDER_WINDOWS, nullptr, "windows\\x", "<none>", "Could not obtain the windows directory name\r\n"},
    {8, FOLDER_SYSTEM, nullptr, "system\\x", "<none>", "Could not obtain the system directory name\r\n"},
    {9, FOLDER_TEMP, nullptr, "temp\\x", "<none>", "Could not obtain the temp directory name\r\n"},
    {10, FOLDER_STARTUP, nullptr, "startup\\x", "<none>", "Could not obtain the startup directory name\r\n"},
    {11, FOLDER_DESKTOP, nullptr, "desktop", "<none>", "Could not obtain the desktop directory name\r\n"},
    // A missing folder matters only to its own word.
    {12, FOLDER_STARTUP, nullptr, "system\\x", "C:\\WINDOWS\\SYSTEM32\\x", ""},
    {13, FOLDER_WINDOWS, nullptr, "Windows\\x", "Windows\\x", ""},
};

TEST_F(FolderMacros, FolderShapesAndFailures) {
    for (const FolderRow& r : kFolderRows) {
        RestoreFolders();
        g_written.clear();
        g_standInFolders[r.which] = r.folder;
        EXPECT_EQ(Expand(r.path), r.expected) << "row " << r.row;
        EXPECT_EQ(g_written, r.message) << "row " << r.row;
    }
}

struct LimitRow {
    int row;
    FolderMacro which;
    size_t folderLength;  // 0: the stand-in's own folder
    const char* word;
    size_t restLength;  // a backslash, then letters
    bool expanded;
};

// Nothing here is reported: a result that would be too long is refused
// silently.
const LimitRow kLimitRows[] = {
    {1, FOLDER_WINDOWS, 0, "windows", 250, false},  // 10 + 250 reaches 260
    {2, FOLDER_WINDOWS, 0, "windows", 249, true},   // 259
    {3, FOLDER_SYSTEM, 0, "system", 240, true},     // 19 + 240
    {4, FOLDER_SYSTEM, 0, "system", 241, false},
    // The temporary folder must fit with its separator before it is dropped.
    {5, FOLDER_TEMP, 0, "temp", 251, true},   // 8 fits below 9; 7 + 251
    {6, FOLDER_TEMP, 0, "temp", 252, false},  // 8 does not fit below 8
    // Rests that leave no room at all, and beyond.
    {7, FOLDER_WINDOWS, 0, "windows", 259, false},
    {8, FOLDER_WINDOWS, 0, "windows", 260, false},
    {9, FOLDER_WINDOWS, 0, "windows", 1000, false},
    {10, FOLDER_TEMP, 0, "temp", 5000, false},
    // A folder too long for the room its rest leaves.
    {11, FOLDER_WINDOWS, 255, "windows", 5, false},
    {12, FOLDER_WINDOWS, 254, "windows", 5, true},
    {13, FOLDER_WINDOWS, 259, "windows", 0, true},
    {14, FOLDER_WINDOWS, 260, "windows", 0, false},
    // The shell folders are measured after the lookup.
    {15, FOLDER_STARTUP, 200, "startup", 59, true},
    {16, FOLDER_STARTUP, 200, "startup", 60, false},
    {17, FOLDER_DESKTOP, 259, "desktop", 0, true},
    {18, FOLDER_DESKTOP, 0, "desktop", 2000, false},
};

TEST_F(FolderMacros, ResultsOf260OrMoreAreRefusedSilently) {
    for (const LimitRow& r : kLimitRows) {
        RestoreFolders();
        g_written.clear();
        std::string folder = r.folderLength ? "C:\\" + std::string(r.folderLength - 3, 'f')
                                            : std::string(kStandInDefaults[r.which]);
        g_standInFolders[r.which] = folder.c_str();
        std::string rest = r.restLength ? "\\" + std::string(r.restLength - 1, 'r') : "";
        std::string got = Expand(r.word + rest);
        if (r.expanded) {
            std::string base = folder;
            if (base.back() == '\\') base.pop_back();
            EXPECT_EQ(got, base + rest) << "row " << r.row;
            EXPECT_LT(got.size(), 260u) << "row " << r.row;
        } else {
            EXPECT_EQ(got, "<none>") << "row " << r.row;
        }
        EXPECT_EQ(g_written, "") << "row " << r.row;
    }
}

TEST_F(FolderMacros, PathsWithoutAMacroAreCopiedWhateverTheirLength) {
    std::string longPath = "C:\\" + std::string(4000, 'x');
    EXPECT_EQ(Expand(longPath), longPath);
    char* none = ExpandFolderMacro(nullptr);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(g_written, "");
}

}  // namespace
