// The directory walk on real folders: the console front end run with data
// files whose FILE records only identify (or name an action that leaves the
// file alone), read back through its verbose log; and the walk run inside
// this process to see the status line and the directory list the machine's
// drives and folders give.
#include <windows.h>
#include <shlobj.h>
#include <expat.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "disk/cleaning_win.h"
#include "disk/directory_list.h"
#include "disk/file_record.h"
#include "disk/scanner.h"
#include "report/confirm.h"
#include "report/message.h"
#include "report/prompts.h"
#include "report/run_report.h"
#include "script/cleaning.h"
#include "script/dispatch.h"
#include "script/parser.h"
#include "script/pass.h"
#include "script/store.h"
#include "support/unix_link_win.h"
#include "support/wine_support.h"
#include "undo/journal.h"
#include "undo/journal_files_win.h"
#include "undo/undo_run.h"

namespace {

using Strings = std::vector<std::string>;

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kFilesFound[] = "\tFiles found                         : ";

// A keyword no action knows: the find is reported and counted, then nothing
// is done to the file.
const char kReportOnly[] = "<ACTION>inspect</ACTION>";

std::string Script(const std::string& disks) {
    return "<CLEANER DataFile=\"Walk.Test\" Version=\"1\" Type=\"Worm\"><IDENTITY GenericName=\"Gen\">" + disks +
           "</IDENTITY></CLEANER>";
}

std::string Disk(const Strings& directories, const std::string& files) {
    std::string text = "<DISK>";
    for (const std::string& d : directories) text += "<DIRECTORY>" + d + "</DIRECTORY>";
    return text + files + "</DISK>";
}

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

// The lines of the log that are paths below root, each without the root and
// its separator, in the order written.
Strings PathLines(const std::string& log, const std::string& root) {
    Strings lines;
    const std::string head = "\r\n" + root + "\\";
    for (size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
        size_t start = at + head.size();
        size_t end = log.find("\r\n", start);
        lines.push_back(log.substr(start, end - start));
    }
    return lines;
}

Strings Sorted(Strings lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The names of the files reported found, in order, by the VirusName shown.
Strings Finds(const std::string& log) {
    Strings names;
    const std::string head = "\r\n>>>Worm '";
    for (size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
        size_t start = at + head.size();
        size_t quote = log.find("' found in file ", start);
        size_t end = log.find("\r\n", quote);
        size_t slash = log.rfind('\\', end);
        names.push_back(log.substr(start, quote - start) + ":" + log.substr(slash + 1, end - slash - 1));
    }
    return names;
}

bool MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

// Paths beyond MAX_PATH need the wide calls with the \\?\ form.
bool WriteLongPathFile(const std::string& path) {
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// A folder of files with names that test every extension rule.
const Strings kMixedFiles = {"a.exe", "b.COM", "c.txt", "d.exe.bak", "noext", "DIR.D\\README", "DIR.D\\e.exe"};

class DiskWalk : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        tree = folder + "\\tree";
        ASSERT_TRUE(MakeFolder(tree));
        log = folder + "\\run.log";
        dat = folder + "\\walk.dat";
    }
    void Put(const Strings& files, size_t size = 3) {
        for (const std::string& f : files) {
            for (size_t at = f.find('\\'); at != std::string::npos; at = f.find('\\', at + 1))
                MakeFolder(tree + "\\" + f.substr(0, at));
            ASSERT_TRUE(WriteWholeFile(tree + "\\" + f, std::string(size, 'x'))) << f;
        }
    }
    // One run of the console program; answers its log section.
    std::string Run(const std::string& xml, const std::string& options = "-v") {
        DeleteFileA(log.c_str());
        EXPECT_TRUE(BuildDataFile(xml, dat));
        ProcessResult r = RunProgram(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc " + options);
        EXPECT_EQ(0u, r.exitCode) << r.output;
        return ReadWholeFile(log);
    }
    std::string folder, tree, log, dat;
};

TEST_F(DiskWalk, ExtensionRules) {
    Put(kMixedFiles);
    const Strings all = Sorted(kMixedFiles);
    struct Row {
        int line;
        const char* attributes;
        const char* options;
        Strings listed;
    } rows[] = {
        {1, "Extensions=\".exe,.com\"", "-v", {"DIR.D\\e.exe", "a.exe", "b.COM"}},
        {2, "Extensions=\"exe,com\"", "-v", {}},
        {3, "Extensions=\"ALL\"", "-v", all},
        {4, "Extensions=\".exe\"", "-v", {"DIR.D\\e.exe", "a.exe"}},  // not DIR.D\README
        {5, "Extensions=\".exe\"", "-v -all", all},
        {6, "FileName=\"A.EXE\"", "-v", {"a.exe"}},
        {7, "", "-v", all},
        {8, "", "", {}},  // only verbose logging lists them
    };
    for (const Row& row : rows) {
        std::string text = Run(Script(Disk({tree}, std::string("<FILE ") + row.attributes + "/>")), row.options);
        EXPECT_EQ(row.listed, Sorted(PathLines(text, tree))) << "row " << row.line << text;
        EXPECT_EQ(1u, CountOf(text, "\r\nScanning " + tree + "\r\n\r\n")) << "row " << row.line;
        EXPECT_TRUE(Has(text, std::string(kFilesFound) + "0\r\n")) << "row " << row.line;
    }
}

TEST_F(DiskWalk, SizeIsHexadecimal) {
    ASSERT_TRUE(WriteWholeFile(tree + "\\k1024.bin", std::string(1024, 'k')));
    ASSERT_TRUE(WriteWholeFile(tree + "\\k400.bin", std::string(400, 'k')));
    std::string text = Run(Script(Disk({tree}, std::string("<FILE VirusName=\"S\" size=\"400\">") + kReportOnly +
                                                   "</FILE>")));
    EXPECT_EQ(Strings{"S:k1024.bin"}, Finds(text)) << text;
    EXPECT_TRUE(Has(text, std::string(kFilesFound) + "1\r\n"));
    EXPECT_EQ(2u, PathLines(text, tree).size()) << "both pass the name test before the size";
}

TEST_F(DiskWalk, TheLaterOfTwoFittingRecordsDecides) {
    Put({"twice.txt", "once.txt"});
    std::string files = std::string("<FILE VirusName=\"First\" Extensions=\".txt\">") + kReportOnly + "</FILE>" +
                        "<FILE VirusName=\"Second\" FileName=\"twice.txt\">" + kReportOnly + "</FILE>";
    std::string text = Run(Script(Disk({tree}, files)));
    EXPECT_EQ(Sorted({"First:once.txt", "Second:twice.txt"}), Sorted(Finds(text))) << text;
    EXPECT_EQ(Sorted({"once.txt", "twice.txt"}), Sorted(PathLines(text, tree))) << "each file listed once";
}

TEST_F(DiskWalk, FileThatCannotBeOpenedForItsPatterns) {
    ASSERT_TRUE(WriteWholeFile(tree + "\\locked.bin", std::string(8, '\0')));
    ASSERT_TRUE(WriteWholeFile(tree + "\\free.bin", std::string(8, '\0')));
    HANDLE lock = CreateFileA((tree + "\\locked.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    // The later record needs the bytes; the earlier one would take the file
    // by its name alone, but is not tried once the file could not be opened.
    std::string files = std::string("<FILE VirusName=\"Plain\" Extensions=\".bin\">") + kReportOnly + "</FILE>" +
                        "<FILE VirusName=\"Bytes\" Extensions=\".bin\"><PATTERN>00 00</PATTERN>" + kReportOnly +
                        "</FILE>";
    std::string text = Run(Script(Disk({tree}, files)));
    CloseHandle(lock);
    EXPECT_EQ(1u, CountOf(text, "\r\nError opening file " + tree + "\\locked.bin\r\n\r\n")) << text;
    EXPECT_EQ(Strings{"Bytes:free.bin"}, Finds(text));
    EXPECT_EQ(1u, CountOf(text, "Error opening file"));
}

// Folder and name reaching 260 characters: reported by name, walk goes on.
TEST_F(DiskWalk, LongPaths) {
    // The folder's path has 70 characters; a name of 189 gives a full path
    // of 260, one of 190 would give 261.
    ASSERT_LT(tree.size(), 68u);
    std::string deep = tree + "\\" + std::string(70 - tree.size() - 1, 'd');
    ASSERT_EQ(70u, deep.size());
    ASSERT_TRUE(MakeFolder(deep));
    const std::string fits(189, 'f'), tooLong(190, 'g'), longest(200, 'h');
    ASSERT_TRUE(WriteLongPathFile(deep + "\\" + fits));
    ASSERT_TRUE(WriteLongPathFile(deep + "\\" + tooLong));
    ASSERT_TRUE(WriteLongPathFile(deep + "\\" + longest));
    ASSERT_TRUE(WriteWholeFile(deep + "\\after.txt", "x"));
    std::string text = Run(Script(Disk({tree}, "<FILE/>")));
    EXPECT_EQ(1u, CountOf(text, "\r\nCould not scan " + tooLong + "\n\r")) << text;
    EXPECT_EQ(1u, CountOf(text, "\r\nCould not scan " + longest + "\n\r"));
    EXPECT_EQ(2u, CountOf(text, "\r\nCould not scan "));
    const std::string sub = deep.substr(tree.size() + 1);
    EXPECT_EQ(Sorted({sub + "\\" + fits, sub + "\\after.txt"}), Sorted(PathLines(text, tree)));
}

TEST_F(DiskWalk, NoDiskSearchesNothingAndLeavesOutTheFileCounters) {
    Put({"a.exe"});
    std::string script = Script(Disk({tree}, std::string("<FILE>") + kReportOnly + "</FILE>"));
    std::string text = Run(script, "-v -nodisk");
    EXPECT_FALSE(Has(text, "Scanning")) << text;
    EXPECT_FALSE(Has(text, "Checking for files affected by"));
    EXPECT_FALSE(Has(text, "\tFiles found"));
    EXPECT_TRUE(PathLines(text, tree).empty());
    EXPECT_TRUE(Has(text, "System scan finished"));

    text = Run(script, "-v");
    EXPECT_EQ(1u, CountOf(text, "\r\nChecking for files affected by Gen\r\n")) << text;
    EXPECT_TRUE(Has(text, std::string(kFilesFound) + "1\r\n"));
}

TEST_F(DiskWalk, DirectoryListEntries) {
    Put({"a.exe", "sub\\b.exe"});
    const std::string scanning = "\r\nScanning " + tree + "\r\n\r\n";
    struct Row {
        int line;
        Strings directories;
        Strings listed;
        size_t scanningLines;
    } rows[] = {
        {1, {tree + "\\a.exe"}, {"a.exe"}, 0},  // a file is checked alone
        {2, {tree + "\\"}, {"a.exe", "sub\\b.exe"}, 1},
        {3, {tree + "/"}, {"a.exe", "sub\\b.exe"}, 1},
        {4, {tree + "\\nowhere"}, {}, 0},
        {5, {tree + "\\sub", tree + "\\a.exe"}, {"a.exe", "sub\\b.exe"}, 0},
        {6, {tree, tree}, {"a.exe", "a.exe", "sub\\b.exe", "sub\\b.exe"}, 2},
    };
    for (const Row& row : rows) {
        std::string text = Run(Script(Disk(row.directories, "<FILE/>")));
        EXPECT_EQ(row.listed, Sorted(PathLines(text, tree))) << "row " << row.line << text;
        EXPECT_EQ(row.scanningLines, CountOf(text, scanning)) << "row " << row.line;
        EXPECT_FALSE(Has(text, "\\\\")) << "row " << row.line << ": a separator doubled";
    }
}

// The template prefix holds nothing of the host's, so all of C: may be
// walked: a DISK without DIRECTORY elements searches "C:".
TEST_F(DiskWalk, DiskWithoutDirectoriesSearchesDriveC) {
    ASSERT_TRUE(WriteWholeFile(folder + "\\only-here.mxw", "x"));
    std::string text =
        Run(Script(Disk({}, std::string("<FILE FileName=\"only-here.mxw\">") + kReportOnly + "</FILE>")));
    EXPECT_EQ(1u, CountOf(text, "\r\nScanning C:\r\n\r\n")) << text;
    EXPECT_EQ(1u, CountOf(text, "found in file " + folder + "\\only-here.mxw\r\n")) << text;
}

// The template prefix maps D: to a folder of its own. A drive root has no
// "." entry, so the drive needs a file to be found at all.
TEST_F(DiskWalk, DriveRootIsWalkedWithoutItsSeparator) {
    ASSERT_NE(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("D:\\"));
    ASSERT_TRUE(WriteWholeFile("D:\\root.txt", "on the root"));
    std::string text =
        Run(Script(Disk({"D:\\"}, std::string("<FILE FileName=\"root.txt\">") + kReportOnly + "</FILE>")));
    RemoveFile("D:\\root.txt");
    EXPECT_EQ(1u, CountOf(text, "\r\nScanning D:\r\n\r\n")) << text;
    EXPECT_EQ(1u, CountOf(text, "found in file D:\\root.txt")) << text;
}

TEST_F(DiskWalk, StoredNamesNameTheDirectoriesOfALaterDisk) {
    Put({"names\\sub1.flag", "names\\sub2.flag", "sub1\\in1.txt", "sub2\\in2.txt", "sub3\\out.txt"});
    std::string first = Disk({tree + "\\names"},
                             "<FILE Extensions=\".flag\"><ACTION storeList=\"DIRS\" storeFlag=\"NoExt\">store"
                             "</ACTION></FILE>");
    std::string second = Disk({tree + "\\DIRS"}, "<FILE Extensions=\".txt\"/>");
    std::string text = Run(Script(first + second));
    EXPECT_EQ(Sorted({"names\\sub1.flag", "names\\sub2.flag", "sub1\\in1.txt", "sub2\\in2.txt"}),
              Sorted(PathLines(text, tree)))
        << text;
    EXPECT_EQ(1u, CountOf(text, "\r\nScanning " + tree + "\\sub1\r\n\r\n"));
    EXPECT_EQ(1u, CountOf(text, "\r\nScanning " + tree + "\\sub2\r\n\r\n"));
    EXPECT_TRUE(FileExists(tree + "\\names\\sub1.flag")) << "storing leaves the file";
    EXPECT_EQ(1u, CountOf(text, "\r\nChecking for files affected by Gen\r\n"));
}

// Links a user can make lead the walk back to a folder it is in: two in the
// folder to itself, one below it to its parent. Wine lists a host symbolic
// link as a reparse point, as Windows lists a junction: each is passed over,
// once, with a verbose line, and every real file is examined once.
TEST_F(DiskWalk, LinksBackToAFolderAboveAreNotEntered) {
    Put({"real.txt", "sub\\inner.bin"});
    ASSERT_TRUE(MakeUnixLink(".", tree + "\\self1"));
    ASSERT_TRUE(MakeUnixLink(".", tree + "\\self2"));
    ASSERT_TRUE(MakeUnixLink("..", tree + "\\sub\\up"));
    ASSERT_TRUE(FileExists(tree + "\\self1\\self2\\sub\\up\\real.txt")) << "the links lead round";
    const std::string files = std::string("<FILE VirusName=\"Real\">") + kReportOnly + "</FILE>";
    DWORD started = GetTickCount();
    std::string text = Run(Script(Disk({tree}, files)));
    EXPECT_LT(GetTickCount() - started, 20000u) << "the walk ends at once";
    EXPECT_EQ(Sorted({"real.txt", "sub\\inner.bin"}), Sorted(PathLines(text, tree))) << text;
    EXPECT_EQ(Sorted({"Real:inner.bin", "Real:real.txt"}), Sorted(Finds(text)));
    EXPECT_EQ(1u, CountOf(text, "found in file " + tree + "\\real.txt\r\n"));
    for (const char* link : {"self1", "self2", "sub\\up"})
        EXPECT_EQ(1u, CountOf(text, "\r\nFolder " + tree + "\\" + link +
                                        " not entered: it is a link\r\n"))
            << link;
    EXPECT_EQ(3u, CountOf(text, " not entered: "));
    EXPECT_TRUE(Has(text, std::string(kFilesFound) + "2\r\n"));

    text = Run(Script(Disk({tree}, files)), "");
    EXPECT_EQ(0u, CountOf(text, " not entered: ")) << "only verbose logging tells";
    EXPECT_EQ(Sorted({"Real:inner.bin", "Real:real.txt"}), Sorted(Finds(text)));
}

// ---------------------------------------------------------------- in this process

std::string g_log;
Strings g_status;
Strings g_list;
Strings g_seenDirectories;
int g_windowToken;

void Write(OutHandle, const char* bytes, size_t count) { g_log.append(bytes, count); }
int AddEntry(void*, const char* line) {
    g_list.push_back(line);
    return static_cast<int>(g_list.size()) - 1;
}
void Status(void*, const char* line) { g_status.push_back(line); }
const MessageSinks kSinks = {Write, AddEntry, nullptr, Status, nullptr};

bool NoSuspend() { return true; }
void RecordDirectories(ParseContext*, FileRecord*) {
    g_seenDirectories.assign(g_directories, g_directories + g_directoryCount);
}
// Members this test does not use stay null, however many the table grows.
CleaningWork RecordingWork() {
    CleaningWork work = {};
    work.suspendScanner = NoSuspend;
    work.scanDirectories = RecordDirectories;
    return work;
}
const CleaningWork kRecording = RecordingWork();

class WalkHere : public DiskWalk {
protected:
    void SetUp() override {
        DiskWalk::SetUp();
        saved_ = g_report;
        g_report = ReportState{reinterpret_cast<OutHandle>(1), nullptr, &g_windowToken,
                               SWITCH_DEFAULT_MESSAGES | SWITCH_VERBOSE, &kSinks};
        g_settings.confirmation = 0;
        g_settings.skipDisk = 0;
        g_settings.allFiles = 0;
        g_log.clear();
        g_status.clear();
        g_list.clear();
        g_seenDirectories.clear();
    }
    void TearDown() override {
        g_report = saved_;
        g_cleaning = nullptr;
        g_scannerSuspended = 0;
    }
    // Reads the script as a scan run does, with the given machine work.
    static void Parse(const std::string& xml, const CleaningWork* work) {
        g_cleaning = work;
        ParseContext context;
        ResetParseContext(&context, RUN_INITIAL_FLAGS | RUN_WINNT);
        g_identitySeen = 1;
        ASSERT_TRUE(CreateScriptParser(&context));
        ResetElementStack(&context);
        XML_Parse(g_parser, xml.data(), static_cast<int>(xml.size()), 1);
        ReleaseScriptParser();
        FreeContextTexts(&context);
        FreeStores();
        ClearDirectoryList();
    }
    ReportState saved_;
};

std::string ShellFolder(int csidl) {
    char buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return "";
    return buffer;
}

TEST_F(WalkHere, StatusLineAndListBox) {
    const std::string longDir = "a folder name that is long enough";
    Put({"a.exe", "b.txt", longDir + "\\deeper\\c.exe"});
    ASSERT_TRUE(WriteWholeFile(tree + "\\locked.com", "x"));
    HANDLE lock = CreateFileA((tree + "\\locked.com").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    Parse(Script(Disk({tree}, "<FILE Extensions=\".exe\"/><FILE Extensions=\".com\"><PATTERN>78</PATTERN></FILE>")),
          Win32CleaningWork());
    CloseHandle(lock);
    ASSERT_FALSE(g_status.empty());
    EXPECT_EQ(tree, g_status[0]);
    // Each file that passed by name, as its display name: these paths are
    // longer than 40 characters.
    Strings files(g_status.begin() + 1, g_status.end());
    EXPECT_EQ(Sorted({"C:\\mendrix\\...\\a.exe", "C:\\mendrix\\...\\c.exe", "C:\\mendrix\\...\\locked.com"}),
              Sorted(files));
    EXPECT_EQ(1u, std::count(g_list.begin(), g_list.end(), "Scanning " + tree)) << "the list gets the folder";
    for (const std::string& entry : g_list) {
        EXPECT_FALSE(Has(entry, "a.exe")) << "verbose lines stay off the list";
        EXPECT_FALSE(Has(entry, "Error opening")) << entry;
    }
    EXPECT_EQ(1u, CountOf(g_log, "Error opening file " + tree + "\\locked.com\r\n\r\n")) << g_log;
    EXPECT_EQ(Sorted({"a.exe", "locked.com", longDir + "\\deeper\\c.exe"}), Sorted(PathLines(g_log, tree)));
}

TEST_F(WalkHere, DriveWordsAndUserFoldersFromTheMachine) {
    const std::string common = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string user = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    const std::string userStartup = ShellFolder(CSIDL_STARTUP);
    ASSERT_FALSE(common.empty());
    ASSERT_FALSE(user.empty());
    ASSERT_NE(common, user);
    // The prefix has its C: drive and a D: kept inside it, both fixed.
    struct Row {
        int line;
        std::string directory;
        Strings expected;
    } rows[] = {
        {1, "AllDrives", {"C:\\", "D:\\"}},
        {2, "FixedDrives", {"C:\\", "D:\\"}},
        {3, "desktop\\x", {common + "\\x", user + "\\x"}},
        {4, "startup", {ShellFolder(CSIDL_COMMON_STARTUP), userStartup}},
    };
    for (const Row& row : rows) {
        g_seenDirectories.clear();
        Parse(Script(Disk({row.directory}, "")), &kRecording);
        EXPECT_EQ(row.expected, g_seenDirectories) << "row " << row.line;
    }
}

// ---------------------------------------------------------------- a folder swapped at the question

// While the user is asked about a file, a user of the machine renames the
// file's folder away and puts a link in its place to a folder of his own
// holding a file of the same name and size. The action reaches the file
// that was checked, or nothing; the other file is never touched, and undo
// keeps the checked file's bytes.
struct SwapRow {
    int line;
    const char* name;  // alone in the folder r<line> of the tree
    const char* element;  // the FILE's PATTERN, if any, and the ACTION's attributes and keyword
    DWORD attributes;
    const char* outcome;  // the line the action ends with
    bool saved;           // kept in the undo journal: the change was made
    std::string after;    // the checked file's bytes after the run
};

const std::string kChecked = "MZ checked file, found and asked about";
const std::string kDecoy = "MZ decoy, a system file of that name!!";

const SwapRow kSwaps[] = {
    // Wine marks the file for deletion, then at its close unlinks it by the
    // path it was opened with, and only while that path leads to the same
    // inode: here it leads to the decoy, so Wine unlinks nothing and the
    // checked file stays where it was renamed to. Windows deletes it.
    {1, "evil1.exe", "<PATTERN>4D 5A</PATTERN><ACTION %s>delete", FILE_ATTRIBUTE_READONLY, "File deleted\r\n\r\n",
     true, kChecked},
    // Taken for writing before the question, the cut is written through the
    // handle into the checked file.
    {2, "evil2.exe", "<ACTION start=\"2\" length=\"8\" %s>cut", 0, "File disinfected\r\n", true,
     kChecked.substr(0, 2) + kChecked.substr(10)},
    // Another program reads it, letting nobody write, until the question:
    // write access is had only after it, by opening the file again where the
    // walk listed it, though its path names the decoy by then.
    {3, "evil3.exe", "<PATTERN>4D 5A</PATTERN><ACTION start=\"pattern0+2\" length=\"8\" %s>cut",
     FILE_ATTRIBUTE_READONLY, "File disinfected\r\n", true, kChecked.substr(0, 2) + kChecked.substr(10)},
    // The move renames by path: the path names another file, so nothing moves.
    {4, "evil4.exe", "<ACTION destination=\"%s\" %s>move", 0, "Could not move file\r\n", false, kChecked},
};

// The attributes an action may clear; Wine keeps the archive bit either way.
const DWORD kGuarded = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string g_swapTree, g_swapFolder;
Strings g_swapped;  // the files whose folders were swapped, each after its question
HANDLE g_reader = INVALID_HANDLE_VALUE;  // the other program's, closed at its file's question

std::string Numbered(const char* form, int line) {
    char text[64];
    snprintf(text, sizeof text, form, line);
    return text;
}

// Answers yes to every question, after swapping the folder of the file
// asked about (the display name ends with its name).
int SwapThenYes(void*, const char* upper, const char*) {
    std::string shown = upper;
    std::string name = shown.substr(shown.rfind('\\') + 1);
    for (const SwapRow& r : kSwaps) {
        if (name != r.name) continue;
        std::string inTree = g_swapTree + Numbered("\\r%d", r.line);
        if (MoveFileA(inTree.c_str(), (g_swapFolder + Numbered("\\away\\r%d", r.line)).c_str()) &&
            MakeUnixLink(Numbered("../decoys/d%d", r.line), inTree) && ReadWholeFile(inTree + "\\" + name) == kDecoy)
            g_swapped.push_back(name);
    }
    if (name == "evil3.exe" && g_reader != INVALID_HANDLE_VALUE) {
        CloseHandle(g_reader);
        g_reader = INVALID_HANDLE_VALUE;
    }
    return 'Y';
}
// What the question does before it is answered yes.
int (*g_onQuestion)(void*, const char* upper, const char* lower) = SwapThenYes;
int AskYesAllNo(void* owner, const char* upper, const char* lower) { return g_onQuestion(owner, upper, lower); }
const PromptPort kSwapPrompts = {nullptr, AskYesAllNo, nullptr};

// The journal's saved copy of an item, unscrambled.
std::string SavedBytes(const std::string& folder, const UndoItem& item) {
    if (item.hasCopy) return item.copy;  // a small file is kept in its record
    std::string bytes = ReadWholeFile(folder + "\\" + item.saved);
    uint8_t key = UNDO_SCRAMBLE_START;
    ScrambleBytes(&bytes[0], bytes.size(), &key);
    return bytes;
}

class FolderSwap : public WalkHere {
protected:
    void SetUp() override {
        WalkHere::SetUp();
        savedPrompts_ = g_prompts;
        g_prompts = &kSwapPrompts;
        g_settings.confirmation = 1;
        g_yesToAll = 0;
        g_swapTree = tree;
        g_swapFolder = folder;
        g_swapped.clear();
        g_onQuestion = SwapThenYes;
    }
    void TearDown() override {
        g_prompts = savedPrompts_;
        WalkHere::TearDown();
    }
    const PromptPort* savedPrompts_;
};

TEST_F(FolderSwap, ActionsReachOnlyTheCheckedFile) {
    ASSERT_TRUE(MakeFolder(folder + "\\away"));
    ASSERT_TRUE(MakeFolder(folder + "\\decoys"));
    std::string files;
    for (const SwapRow& r : kSwaps) {
        ASSERT_TRUE(MakeFolder(tree + Numbered("\\r%d", r.line)));
        ASSERT_TRUE(MakeFolder(folder + Numbered("\\decoys\\d%d", r.line)));
        std::string checked = tree + Numbered("\\r%d\\", r.line) + r.name;
        std::string decoy = folder + Numbered("\\decoys\\d%d\\", r.line) + r.name;
        ASSERT_TRUE(WriteWholeFile(checked, kChecked));
        ASSERT_TRUE(WriteWholeFile(decoy, kDecoy));
        SetFileAttributesA(checked.c_str(), r.attributes);
        SetFileAttributesA(decoy.c_str(), FILE_ATTRIBUTE_READONLY);
        char element[256];
        const char* ask = "confirm=\"Act?\" message=\"%s\"";
        if (r.line == 4)
            snprintf(element, sizeof element, r.element, (folder + "\\moved4.exe").c_str(), ask);
        else
            snprintf(element, sizeof element, r.element, ask);
        files += std::string("<FILE VirusName=\"Swap\" FileName=\"") + r.name + "\">" + element + "</ACTION></FILE>";
    }
    const std::string xml = "<CLEANER DataFile=\"Swap.Test\" Version=\"1\" Type=\"Virus\"><IDENTITY GenericName=\"Swap\">" +
                            Disk({tree}, files) + "</IDENTITY></CLEANER>";
    g_reader = CreateFileA((tree + "\\r3\\evil3.exe").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, g_reader);
    BeginUndoJournal("swap.dat");
    Parse(xml, Win32CleaningWork());
    EndUndoJournal();
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_reader) << "evil3.exe was asked about";

    EXPECT_EQ(Sorted({"evil1.exe", "evil2.exe", "evil3.exe", "evil4.exe"}), Sorted(g_swapped))
        << "each folder was swapped at its question";
    Journal journal = {};
    std::string problem;
    const std::string journalFolder = g_runFacts.undoJournal;
    bool refused = false;
    EXPECT_TRUE(ReadManifest(journalFolder, &journal, &problem, &refused)) << problem;
    Strings saved;
    for (const SwapRow& r : kSwaps) {
        std::string path = tree + Numbered("\\r%d\\", r.line) + r.name;
        std::string checked = folder + Numbered("\\away\\r%d\\", r.line) + r.name;
        std::string decoy = folder + Numbered("\\decoys\\d%d\\", r.line) + r.name;
        std::string said = r.line == 4 ? "Moving " + path + " to " + folder + "\\moved4.exe\r\n" + r.outcome
                                       : "\r\n>>>Virus 'Swap' found in file " + path + "\r\n" + r.outcome;
        EXPECT_EQ(1u, CountOf(g_log, said)) << "row " << r.line << g_log;
        EXPECT_TRUE(kDecoy == ReadWholeFile(decoy)) << "row " << r.line;
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), GetFileAttributesA(decoy.c_str()) & kGuarded)
            << "row " << r.line;
        EXPECT_TRUE(r.after == ReadWholeFile(checked)) << "row " << r.line << ": " << ReadWholeFile(checked);
        // Its attributes were cleared through the handle held since the check.
        EXPECT_EQ(0u, GetFileAttributesA(checked.c_str()) & kGuarded) << "row " << r.line;
        if (r.saved) saved.push_back(path + " " + kChecked);
    }
    EXPECT_FALSE(FileExists(folder + "\\moved4.exe"));
    Strings journalled;
    for (const UndoItem* item = journal.items; item; item = item->next)
        journalled.push_back(item->path + " " + SavedBytes(journalFolder, *item));
    EXPECT_EQ(Sorted(saved), Sorted(journalled)) << "the checked files' bytes";
    FreeJournalItems(&journal);
}

// The first question swaps the folder F for a link to a folder of decoys.
int SwapFolderF(void*, const char*, const char*) {
    if (g_swapped.empty() && MoveFileA((g_swapTree + "\\F").c_str(), (g_swapFolder + "\\away\\F").c_str()) &&
        MakeUnixLink("../decoys", g_swapTree + "\\F"))
        g_swapped.push_back("F");
    return 'Y';
}

// Whichever file is asked about first, the walk goes on in the swapped
// folder: every file it opens afterwards is the one it listed, not the decoy
// of the same name the path now leads to. A subfolder not yet walked by
// then is not entered at all: the paths of its files would name the decoys.
TEST_F(FolderSwap, LaterEntriesOfASwappedFolderAreTheListedOnes) {
    const Strings names = {"a.exe", "b.exe", "sub\\c.exe"};
    ASSERT_TRUE(MakeFolder(folder + "\\away"));
    ASSERT_TRUE(MakeFolder(folder + "\\decoys"));
    ASSERT_TRUE(MakeFolder(folder + "\\decoys\\sub"));
    ASSERT_TRUE(MakeFolder(tree + "\\F"));
    ASSERT_TRUE(MakeFolder(tree + "\\F\\sub"));
    for (const std::string& name : names) {
        ASSERT_TRUE(WriteWholeFile(tree + "\\F\\" + name, kChecked));
        ASSERT_TRUE(WriteWholeFile(folder + "\\decoys\\" + name, kDecoy));
    }
    g_onQuestion = SwapFolderF;
    Parse(Script(Disk({tree}, "<FILE VirusName=\"L\" Extensions=\".exe\"><ACTION start=\"2\" length=\"8\" "
                             "confirm=\"Go?\" message=\"%s\">cut</ACTION></FILE>")),
          Win32CleaningWork());
    ASSERT_EQ(Strings{"F"}, g_swapped);
    // The file system's order decides whether sub was walked before the swap.
    const std::string cut = kChecked.substr(0, 2) + kChecked.substr(10);
    const bool subWalked = ReadWholeFile(folder + "\\away\\F\\sub\\c.exe") == cut;
    EXPECT_EQ(subWalked ? 0u : 1u,
              CountOf(g_log, "\r\nFolder " + tree + "\\F\\sub not entered: its path now leads to another folder\r\n"))
        << g_log;
    EXPECT_EQ(subWalked ? 3u : 2u, CountOf(g_log, "\r\nFile modified\r\n")) << g_log;
    for (const std::string& name : names) {
        if (name != "sub\\c.exe") {
            EXPECT_TRUE(cut == ReadWholeFile(folder + "\\away\\F\\" + name)) << name;
        }
        EXPECT_TRUE(kDecoy == ReadWholeFile(folder + "\\decoys\\" + name)) << name;
    }
    if (!subWalked) {
        EXPECT_TRUE(kChecked == ReadWholeFile(folder + "\\away\\F\\sub\\c.exe"));
    }
}

// The first question swaps the other folder, listed with the tree but not
// walked yet, for a link to the tree.
int SwapTheOtherFolder(void*, const char* upper, const char*) {
    std::string shown = upper;
    const char* other = shown.compare(shown.size() - 6, 6, "q1.exe") == 0 ? "B" : "A";
    if (g_swapped.empty() &&
        MoveFileA((g_swapTree + "\\" + other).c_str(), (g_swapFolder + "\\away\\" + other).c_str()) &&
        MakeUnixLink(".", g_swapTree + "\\" + other))
        g_swapped.push_back(other);
    return 'Y';
}

// The listing said the folder was a folder; by the time the walk opens it,
// it leads back to the tree. The walk knows the folder by what it opened.
TEST_F(FolderSwap, FolderSwappedForALinkAfterTheListingIsNotEntered) {
    Put({"A\\q1.exe", "B\\q2.exe"});
    ASSERT_TRUE(MakeFolder(folder + "\\away"));
    g_onQuestion = SwapTheOtherFolder;
    Parse(Script(Disk({tree}, "<FILE VirusName=\"Q\" Extensions=\".exe\"><ACTION confirm=\"Go?\" message=\"%s\">"
                             "inspect</ACTION></FILE>")),
          Win32CleaningWork());
    ASSERT_EQ(1u, g_swapped.size());
    EXPECT_EQ(1u, CountOf(g_log, "\r\nFolder " + tree + "\\" + g_swapped[0] +
                                     " not entered: it leads back to a folder above it\r\n"))
        << g_log;
    EXPECT_EQ(1u, CountOf(g_log, " not entered: ")) << g_log;
    EXPECT_EQ(1u, CountOf(g_log, ">>>Worm 'Q' found in file ")) << "the other file is never reached";
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
