// DISK, DIRECTORY and FILE: the records a script builds, the directory list
// with drives, folders and stores, what DISK end does with them through a
// recording cleaning table, display names and the name and extension test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "disk/directory_list.h"
#include "disk/disk_element.h"
#include "disk/display_name.h"
#include "disk/drives.h"
#include "disk/file_fit.h"
#include "disk/file_record.h"
#include "disk/scanner.h"
#include "report/folder_macro.h"
#include "script/action_record.h"
#include "script/cleaning.h"
#include "script/pattern_record.h"
#include "script/store.h"
#include "script_harness.h"

namespace {

const char kCorrupt[] = "\r\nCorrupt data\r\n";
const char kOutOfMemory[] = "\r\nOut of memory\r\n";

// What the recording table saw of one FILE record.
struct SeenFile {
    std::string virusName;  // "<none>" when absent
    std::string fileName;
    std::string typeName;
    uint32_t size;
    std::vector<std::string> extensions;
    std::string action;  // keyword, "<none>" without an ACTION
    int patterns;
};

struct SeenWalk {
    std::vector<std::string> directories;
    std::vector<bool> topOnly;  // the directories given with subfolders="no"
    std::vector<SeenFile> files;  // in the order the walk tries them
};

std::vector<SeenWalk> g_walks;
int g_suspendCalls;
bool g_suspendAnswer;

std::string Text(const char* text) { return text ? text : "<none>"; }

bool RecordSuspend() {
    ++g_suspendCalls;
    return g_suspendAnswer;
}

void RecordWalk(ParseContext*, FileRecord* files) {
    SeenWalk walk;
    for (int i = 0; i < g_directoryCount; ++i) walk.directories.push_back(g_directories[i]);
    for (int i = 0; i < g_directoryCount; ++i) walk.topOnly.push_back(g_directoryTopOnly[i]);
    for (FileRecord* f = files; f; f = f->next) {
        SeenFile seen{Text(f->virusName), Text(f->fileName), Text(f->typeName), f->size, {}, "<none>", 0};
        for (int i = 0; i < MAX_EXTENSIONS && f->extensions[i][0]; ++i) seen.extensions.push_back(f->extensions[i]);
        if (f->action) seen.action = Text(f->action->keyword);
        for (PatternRecord* p = f->patterns; p; p = p->next) ++seen.patterns;
        walk.files.push_back(seen);
    }
    g_walks.push_back(walk);
}

// Members this test does not use stay null, however many the table grows.
CleaningWork RecordingWork() {
    CleaningWork work = {};
    work.suspendScanner = RecordSuspend;
    work.scanDirectories = RecordWalk;
    return work;
}
const CleaningWork kRecordingWork = RecordingWork();

std::string Script(const std::string& body, const char* type = "Virus") {
    return std::string("<CLEANER DataFile=\"F\" Type=\"") + type + "\"><IDENTITY GenericName=\"Gen\">" + body +
           "</IDENTITY></CLEANER>";
}

std::string Directories(const std::vector<std::string>& texts) {
    std::string body = "<DISK>";
    for (const std::string& t : texts) body += "<DIRECTORY>" + t + "</DIRECTORY>";
    return body + "</DISK>";
}

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

class Disk : public ::testing::Test {
  protected:
    void SetUp() override {
        g_walks.clear();
        g_suspendCalls = 0;
        g_suspendAnswer = true;
        g_scannerSuspended = 0;
        g_cleaning = &kRecordingWork;
        g_settings.skipDisk = 0;
        g_settings.allFiles = 0;
        FreeStores();
        ClearDirectoryList();
        for (int i = 0; i < 26; ++i) savedDrives_[i] = g_standInDriveTypes[i];
    }
    void TearDown() override {
        g_cleaning = nullptr;
        g_scannerSuspended = 0;
        g_settings.skipDisk = 0;
        g_settings.allFiles = 0;
        FreeStores();
        ClearDirectoryList();
        for (int i = 0; i < 26; ++i) g_standInDriveTypes[i] = savedDrives_[i];
        for (int i = 0; i < USER_FOLDER_COUNT; ++i) g_standInUserFolders[i] = kStandInUserDefaults[i];
        for (int i = 0; i < FOLDER_COUNT; ++i) g_standInFolders[i] = kStandInDefaults[i];
    }
    // The one FILE record a script with one FILE of these attributes builds;
    // false when the walk never saw it.
    static bool OneFile(const std::string& attributes, SeenFile* seen, std::string* log) {
        g_walks.clear();
        ScriptRun r = RunScript(Script("<DISK><FILE " + attributes + "/></DISK>"));
        *log = r.record.log;
        if (g_walks.size() != 1 || g_walks[0].files.size() != 1) return false;
        *seen = g_walks[0].files[0];
        return true;
    }
    static std::vector<std::string> ListFor(const std::vector<std::string>& texts) {
        g_walks.clear();
        RunScript(Script(Directories(texts)));
        return g_walks.empty() ? std::vector<std::string>{"<no walk>"} : g_walks[0].directories;
    }
    int savedDrives_[26];
};

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------- FILE

TEST_F(Disk, FileAttributesBuildTheRecord) {
    std::string many;
    for (int i = 0; i < 33; ++i) many += (i ? ",." : ".") + std::to_string(i);
    Strings first31;
    for (int i = 0; i < 31; ++i) first31.push_back("." + std::to_string(i));
    struct Row {
        int line;
        std::string attributes;
        std::string fileName;
        uint32_t size;
        Strings extensions;
        int allFiles = 0;
    } rows[] = {
        {1, "FileName=\"virus.exe\"", "virus.exe", 0, {}},
        {2, "FileName=\"windows\\evil.exe\"", "C:\\WINDOWS\\evil.exe", 0, {}},
        {3, "FileName=\"Windows\\evil.exe\"", "Windows\\evil.exe", 0, {}},  // macro words are lower case
        {4, "size=\"400\"", "<none>", 1024, {}},
        {5, "size=\"\"", "<none>", 0, {}},
        {6, "size=\"ffffFFFF\"", "<none>", 0xFFFFFFFFu, {}},
        {7, "size=\"12345678AB\"", "<none>", 0x12345678u, {}},  // four bytes at most
        {8, "Extensions=\".exe,.com\"", "<none>", 0, {".exe", ".com"}},
        {9, "Extensions=\"exe,com\"", "<none>", 0, {"exe"}},
        {10, "Extensions=\"ALL\"", "<none>", 0, {}},
        {11, "Extensions=\".exe, .scr,junk.com\"", "<none>", 0, {".exe", ".scr", ".com"}},
        {12, "Extensions=\".abcdefghi\"", "<none>", 0, {".abcdefghi"}},  // ten characters
        {13, "Extensions=\"" + many + "\"", "<none>", 0, first31},
        {14, "Extensions=\",.exe\"", "<none>", 0, {",", ".exe"}},  // an empty item fits nothing
        {15, "Extensions=\"\"", "<none>", 0, {","}},
        {16, "os=\"WINNT\" FileName=\"a\" Extensions=\".b\"", "a", 0, {".b"}},
        {17, "Extensions=\".exe\"", "<none>", 0, {}, 1},  // -all: every extension
        {18, "Extensions=\".abcdefghijkl\"", "<none>", 0, {}, 1},
    };
    for (const Row& row : rows) {
        g_settings.allFiles = row.allFiles;
        SeenFile seen;
        std::string log;
        ASSERT_TRUE(OneFile(row.attributes, &seen, &log)) << "row " << row.line << log;
        EXPECT_EQ(row.fileName, seen.fileName) << "row " << row.line;
        EXPECT_EQ(row.size, seen.size) << "row " << row.line;
        EXPECT_EQ(row.extensions, seen.extensions) << "row " << row.line;
    }
}

TEST_F(Disk, BadFileAttributesDropTheRecordAndStopTheRun) {
    const std::string longName(300, 'x');
    struct Row {
        int line;
        std::string attributes;
        const char* message;
    } rows[] = {
        {1, "size=\"x1\"", kCorrupt},
        {2, "size=\" 400\"", kCorrupt},
        {3, "Size=\"400\"", kCorrupt},
        {4, "Extensions=\".abcdefghij\"", kCorrupt},  // eleven characters
        {5, "Extensions=\".exe,.abcdefghij\"", kCorrupt},
        {6, "Name=\"a\"", kCorrupt},
        {7, "FileName=\"windows\\" + longName + "\"", kOutOfMemory},  // expansion fails
    };
    for (const Row& row : rows) {
        SeenFile seen;
        std::string log;
        EXPECT_FALSE(OneFile(row.attributes, &seen, &log)) << "row " << row.line;
        EXPECT_EQ(1u, CountOf(log, row.message)) << "row " << row.line << log;
        EXPECT_EQ(0, g_directoryCount) << "row " << row.line;
    }
}

TEST_F(Disk, NamesDefaultFromTheDataFile) {
    struct Row {
        int line;
        std::string head;  // CLEANER and IDENTITY start tags
        const char* attributes;
        const char* virusName;
        const char* typeName;
    } rows[] = {
        {1, "<CLEANER DataFile=\"F\"><IDENTITY GenericName=\"Gen\">", "", "Gen", "Virus"},
        {2, "<CLEANER DataFile=\"F\" Type=\"worm\"><IDENTITY>", "", "<none>", "Worm"},
        {3, "<CLEANER DataFile=\"F\" Type=\"Trojan\"><IDENTITY>", "", "<none>", "Trojan"},
        {4, "<CLEANER DataFile=\"F\" Type=\"Application\"><IDENTITY>", "", "<none>", "Application"},
        {5, "<CLEANER DataFile=\"F\" Type=\"Other\"><IDENTITY>", "", "<none>", "Virus"},
        {6, "<CLEANER DataFile=\"F\" Type=\"Worm\"><IDENTITY GenericName=\"Gen\">",
         "VirusName=\"V\" TypeName=\"T\"", "V", "T"},
        {7, "<CLEANER DataFile=\"F\"><IDENTITY GenericName=\"Gen\">", "VirusName=\"\"", "", "Virus"},
    };
    for (const Row& row : rows) {
        g_walks.clear();
        RunScript(row.head + "<DISK><FILE " + row.attributes + "/></DISK></IDENTITY></CLEANER>");
        ASSERT_EQ(1u, g_walks.size()) << "row " << row.line;
        ASSERT_EQ(1u, g_walks[0].files.size()) << "row " << row.line;
        EXPECT_EQ(row.virusName, g_walks[0].files[0].virusName) << "row " << row.line;
        EXPECT_EQ(row.typeName, g_walks[0].files[0].typeName) << "row " << row.line;
    }
}

TEST_F(Disk, TheWalkTriesTheLastFileFirstWithItsOwnActionAndPatterns) {
    RunScript(Script("<DISK><FILE FileName=\"a\"><ACTION>delete</ACTION></FILE>"
                     "<FILE FileName=\"b\"><PATTERN>01</PATTERN><PATTERN>02</PATTERN></FILE>"
                     "<FILE FileName=\"c\"><PATTERN>03</PATTERN><ACTION>cut</ACTION></FILE></DISK>"));
    ASSERT_EQ(1u, g_walks.size());
    const std::vector<SeenFile>& files = g_walks[0].files;
    ASSERT_EQ(3u, files.size());
    struct Row {
        int line;
        const char* fileName;
        const char* action;
        int patterns;
    } rows[] = {{1, "c", "cut", 1}, {2, "b", "<none>", 2}, {3, "a", "delete", 0}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].fileName, files[i].fileName) << "row " << rows[i].line;
        EXPECT_EQ(rows[i].action, files[i].action) << "row " << rows[i].line;
        EXPECT_EQ(rows[i].patterns, files[i].patterns) << "row " << rows[i].line;
    }
}

// ---------------------------------------------------------------- DIRECTORY

TEST_F(Disk, DirectoryTextsBecomeEntries) {
    const std::string common = kStandInDefaults[FOLDER_DESKTOP];
    const std::string user = kStandInUserDefaults[USER_DESKTOP];
    const std::string commonStartup = kStandInDefaults[FOLDER_STARTUP];
    const std::string userStartup = kStandInUserDefaults[USER_STARTUP];
    struct Row {
        int line;
        Strings texts;
        Strings expected;
    } rows[] = {
        {1, {"C:\\x"}, {"C:\\x"}},
        {2, {"windows\\sys", "D:\\"}, {"C:\\WINDOWS\\sys", "D:\\"}},
        {3, {" windows"}, {" windows"}},  // white space is part of the path
        {4, {"\nAllDrives\n"}, {"\nAllDrives\n"}},
        {5, {"alldrives"}, {"alldrives"}},
        {6, {"desktop\\x"}, {common + "\\x", user + "\\x"}},
        {7, {"desktop"}, {common, user}},
        {8, {"startup\\run.exe"}, {commonStartup + "\\run.exe", userStartup + "\\run.exe"}},
        {9, {"Desktop"}, {"Desktop"}},
        {10, {""}, {}},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, ListFor(row.texts)) << "row " << row.line;
}

// subfolders="no" marks every entry its DIRECTORY's text makes, and only
// those; a word other than yes or no is a data-file error.
TEST_F(Disk, SubfoldersNoKeepsTheWalkInTheFolderItself) {
    RunScript(Script("<DISK><DIRECTORY subfolders=\"no\">desktop</DIRECTORY><DIRECTORY>windows</DIRECTORY>"
                     "<DIRECTORY subfolders=\"yes\">system</DIRECTORY><DIRECTORY subfolders=\"no\">C:\\x</DIRECTORY>"
                     "</DISK>"));
    ASSERT_EQ(1u, g_walks.size());
    EXPECT_EQ(5u, g_walks[0].directories.size());
    EXPECT_EQ((std::vector<bool>{true, true, false, false, true}), g_walks[0].topOnly);
    for (const char* word : {"No", "false", ""}) {
        g_walks.clear();
        ScriptRun r = RunScript(Script(std::string("<DISK><DIRECTORY subfolders=\"") + word + "\">windows</DIRECTORY></DISK>"));
        EXPECT_TRUE(r.context.flags & RUN_SKIP) << word;
        EXPECT_TRUE(g_walks.empty()) << word;
    }
}

TEST_F(Disk, UserFolderIsAddedOnlyBesideADifferentEntry) {
    const std::string common = kStandInDefaults[FOLDER_DESKTOP];
    const std::string user = kStandInUserDefaults[USER_DESKTOP];
    const std::string longFolder = "C:\\" + std::string(250, 'u');
    struct Row {
        int line;
        const char* commonFolder;  // null: the folder macro fails
        const char* userFolder;    // null: the lookup fails
        Strings texts;
        Strings expected;
    } rows[] = {
        {1, kStandInDefaults[FOLDER_DESKTOP], nullptr, {"desktop"}, {common}},
        {2, kStandInDefaults[FOLDER_DESKTOP], "c:\\documents and settings\\all users", {"desktop"}, {common}},
        {3, kStandInDefaults[FOLDER_DESKTOP], "C:\\Documents and Settings\\All Users\\Desktop\\Mine",
         {"desktop"}, {common, "C:\\Documents and Settings\\All Users\\Desktop\\Mine"}},
        {4, nullptr, kStandInUserDefaults[USER_DESKTOP], {"desktop"}, {}},  // nothing to stand beside
        {5, nullptr, kStandInUserDefaults[USER_DESKTOP], {"C:\\a", "desktop\\b"}, {"C:\\a", user + "\\b"}},
        {6, kStandInDefaults[FOLDER_DESKTOP], longFolder.c_str(), {"desktop\\rrrrrr"},
         {common + "\\rrrrrr"}},  // 253 + 7 reaches 260
        {7, kStandInDefaults[FOLDER_DESKTOP], longFolder.c_str(), {"desktop\\rrrrr"},
         {common + "\\rrrrr", longFolder + "\\rrrrr"}},
    };
    for (const Row& row : rows) {
        g_standInFolders[FOLDER_DESKTOP] = row.commonFolder;
        g_standInUserFolders[USER_DESKTOP] = row.userFolder;
        EXPECT_EQ(row.expected, ListFor(row.texts)) << "row " << row.line;
    }
}

TEST_F(Disk, DriveListsByDriveType) {
    // A to G, then Z; the rest have no root.
    const int kinds[] = {DRIVE_KIND_REMOVABLE, DRIVE_KIND_NO_ROOT, DRIVE_KIND_FIXED, DRIVE_KIND_CDROM,
                         DRIVE_KIND_REMOTE,    DRIVE_KIND_RAMDISK, DRIVE_KIND_UNKNOWN};
    for (int i = 0; i < 26; ++i) g_standInDriveTypes[i] = i < 7 ? kinds[i] : DRIVE_KIND_NO_ROOT;
    g_standInDriveTypes[25] = DRIVE_KIND_FIXED;
    struct Row {
        int line;
        Strings texts;
        Strings expected;
    } rows[] = {
        {1, {"AllDrives"}, {"C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "Z:\\"}},
        {2, {"FixedDrives"}, {"C:\\", "Z:\\"}},
        {3, {"C:\\first", "FixedDrives", "AllDrives"}, {"C:\\first", "C:\\", "Z:\\", "C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "Z:\\"}},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, ListFor(row.texts)) << "row " << row.line;
}

TEST_F(Disk, StoresGiveOnePathPerValue) {
    struct Add {
        const char* name;
        const char* text;
        int32_t isList;
    };
    struct Row {
        int line;
        std::vector<Add> adds;
        Strings texts;
        Strings expected;
    } rows[] = {
        {1, {{"L", "A", 1}, {"L", "B", 1}, {"L", "C", 1}}, {"L"}, {"C", "B", "A"}},
        {2, {{"L", "A", 1}, {"L", "B", 1}}, {"L", "L"}, {"B", "A", "B", "A"}},  // each DIRECTORY starts over
        {3, {{"L", "A", 1}, {"L", "B", 1}}, {"C:\\L\\x"}, {"C:\\B\\x", "C:\\A\\x"}},
        {4, {{"S", "A", 0}, {"S", "B", 0}}, {"S\\d"}, {"B\\d"}},
        {5, {{"L", "windows", 1}, {"L", "temp", 1}}, {"L\\x"}, {"C:\\TEMP\\x", "C:\\WINDOWS\\x"}},
        {6, {{"L", "desktop", 1}}, {"L"}, {kStandInDefaults[FOLDER_DESKTOP], kStandInUserDefaults[USER_DESKTOP]}},
        {7, {{"L", "A", 1}}, {"M"}, {"M"}},
        {8, {{"L", "A", 1}, {"L", "B", 1}}, {"C:\\L\\x", "C:\\L\\y"}, {"C:\\B\\x", "C:\\A\\x", "C:\\L\\y"}},
    };
    for (const Row& row : rows) {
        FreeStores();
        for (const Add& a : row.adds) AddToStore(a.name, a.text, a.isList);
        EXPECT_EQ(row.expected, ListFor(row.texts)) << "row " << row.line;
    }
}

TEST_F(Disk, TheListStopsAt64) {
    Strings newest64;  // of the list store V's 70 values
    for (int i = 69; i >= 6; --i) newest64.push_back("v" + std::to_string(i));
    struct Row {
        int line;
        int paths;         // plain paths before the last text
        const char* last;  // null: none
        Strings tail;      // what the last text adds
    } rows[] = {
        {1, 70, nullptr, {}},
        {2, 0, "V", newest64},
        {3, 63, "AllDrives", {"C:\\"}},
        {4, 63, "desktop", {kStandInDefaults[FOLDER_DESKTOP]}},  // no room for the user's
        {5, 64, "desktop", {}},
    };
    for (int i = 0; i < 70; ++i) AddToStore("V", ("v" + std::to_string(i)).c_str(), 1);
    for (const Row& row : rows) {
        Strings texts, expected;
        for (int i = 0; i < row.paths; ++i) texts.push_back("C:\\d" + std::to_string(i));
        expected.assign(texts.begin(), texts.begin() + std::min(row.paths, 64));
        if (row.last) texts.push_back(row.last);
        expected.insert(expected.end(), row.tail.begin(), row.tail.end());
        EXPECT_EQ(expected, ListFor(texts)) << "row " << row.line;
    }
}

// ---------------------------------------------------------------- DISK end

TEST_F(Disk, HeadingOnceAndScannerSuspendedOncePerRun) {
    struct Row {
        int line;
        const char* type;
        bool suspendWorks;
        const char* heading;
        int suspendCalls;
        size_t warnings;
    } rows[] = {
        {1, "Virus", true, "\r\nChecking for files affected by Gen\r\n", 1, 0},
        {2, "Application", true, "\r\nChecking files\r\n", 1, 0},
        {3, "Worm", false, "\r\nChecking for files affected by Gen\r\n", 2, 2},  // each DISK asks again
    };
    for (const Row& row : rows) {
        g_walks.clear();
        g_suspendCalls = 0;
        g_scannerSuspended = 0;
        g_suspendAnswer = row.suspendWorks;
        ScriptRun r = RunScript(Script("<DISK><DIRECTORY>C:\\a</DIRECTORY></DISK><DISK/>", row.type));
        EXPECT_EQ(1u, CountOf(r.record.log, row.heading)) << "row " << row.line << r.record.log;
        EXPECT_EQ(1u, CountOf(r.record.log, "\r\nChecking ")) << "row " << row.line;
        EXPECT_EQ(row.suspendCalls, g_suspendCalls) << "row " << row.line;
        EXPECT_EQ(row.suspendWorks ? 1 : 0, g_scannerSuspended) << "row " << row.line;
        EXPECT_EQ(row.warnings, CountOf(r.record.log, "\r\nCould not disable Vigilox\r\n")) << "row " << row.line;
        ASSERT_EQ(2u, g_walks.size()) << "row " << row.line << ": the search goes on";
        EXPECT_EQ(Strings{"C:\\a"}, g_walks[0].directories) << "row " << row.line;
        EXPECT_EQ(Strings{}, g_walks[1].directories) << "row " << row.line << ": the list is emptied";
        EXPECT_TRUE(r.context.flags & RUN_DID_FILES) << "row " << row.line;
        EXPECT_FALSE(r.context.flags & (RUN_FIRST_DISK | RUN_IN_DISK)) << "row " << row.line;
        EXPECT_EQ(nullptr, r.context.groupRecord) << "row " << row.line;
    }
}

TEST_F(Disk, WhatDiskEndDoesInEachMode) {
    const std::string disk = "<DISK><DIRECTORY>C:\\a</DIRECTORY><FILE FileName=\"x\"><ACTION>delete</ACTION>"
                             "<PATTERN>01</PATTERN></FILE></DISK>";
    struct Row {
        int line;
        int skipDisk;
        bool installed;
        std::string body;
        bool heading;
        bool didFiles;
        size_t walks;
    } rows[] = {
        {1, 0, true, disk, true, true, 1},
        {2, 1, true, disk, false, false, 0},   // -nodisk: read and released
        {3, 0, false, disk, true, true, 0},    // no cleaning table: nothing on the machine
        {4, 0, true, "<DISK><FILE Size=\"1\"/></DISK>", false, false, 0},  // data error: skip mode
        {5, 0, true, "<DISK><DIRECTORY>C:\\a</DIRECTORY><BAD/><FILE/></DISK>", false, false, 0},
        {6, 0, true, "<DISK DefaultMessages=\"off\"/>", false, true, 1},
        {7, 0, true, "<DISK><DIRECTORY>C:\\a</DIRECTORY>", false, false, 0},  // cut off inside: no end tag
    };
    for (const Row& row : rows) {
        g_walks.clear();
        g_suspendCalls = 0;
        g_scannerSuspended = 0;
        g_settings.skipDisk = row.skipDisk;
        g_cleaning = row.installed ? &kRecordingWork : nullptr;
        ScriptRun r = RunScript(Script(row.body));
        EXPECT_EQ(row.heading, CountOf(r.record.log, "\r\nChecking for files affected by Gen\r\n") == 1)
            << "row " << row.line << r.record.log;
        EXPECT_EQ(row.didFiles, (r.context.flags & RUN_DID_FILES) != 0) << "row " << row.line;
        EXPECT_EQ(row.walks, g_walks.size()) << "row " << row.line;
        EXPECT_EQ(static_cast<int>(row.walks), g_suspendCalls) << "row " << row.line;
        if (r.context.flags & RUN_IN_DISK) {
            // A run that stops inside DISK has the scan run end it.
            r.context.flags |= RUN_SKIP;
            OnDiskEnd(&r.context, "DISK");
            EXPECT_TRUE(g_walks.empty()) << "row " << row.line;
        }
        EXPECT_EQ(0, g_directoryCount) << "row " << row.line;
        EXPECT_EQ(nullptr, r.context.groupRecord) << "row " << row.line;
        EXPECT_FALSE(r.context.flags & (RUN_IN_DISK | RUN_FIRST_DISK)) << "row " << row.line;
    }
}

// ---------------------------------------------------------------- display name

TEST(DisplayName, ShortFormsOfLongPaths) {
    const std::string forty = "C:\\" + std::string(33, 'a') + ".txt";
    const std::string noSlash(50, 'n');
    struct Row {
        int line;
        std::string path;
        std::string expected;
    } rows[] = {
        {1, "C:\\x.exe", "C:\\x.exe"},
        {2, forty, forty},
        {3, "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\ETC\\SUB\\HOSTS.EXE", "C:\\WINDOWS\\...\\HOSTS.EXE"},
        {4, "C:\\ABCDEFGHIJKLMNOPQRST\\SYSTEM32\\DRIVERS\\HOSTS.EXE", "C:\\...\\HOSTS.EXE"},  // 20 letters
        {5, "C:\\ABCDEFGHIJKLMNOPQRS\\SYSTEM32\\DRIVERS\\HOSTS.EXE", "C:\\ABCDEFGHIJKLMNOPQRS\\...\\HOSTS.EXE"},
        {6, noSlash, std::string(37, 'n') + "..."},
        {7, "C:\\" + noSlash, "C:\\" + std::string(34, 'n') + "..."},
        {8, "C:\\WINDOWS\\" + std::string(45, 'f'), "C:\\WINDOWS\\...\\" + std::string(22, 'f') + "..."},
        {9, "C:\\W\\X\\" + std::string(34, 'f'), "C:\\W\\...\\" + std::string(28, 'f') + "..."},
        {10, "C:\\W\\XXXXX\\" + std::string(31, 'f'), "C:\\W\\...\\" + std::string(31, 'f')},  // 40 exactly
    };
    for (const Row& row : rows) {
        char out[DISPLAY_NAME_SIZE + 8];
        memset(out, '#', sizeof out);
        MakeDisplayName(row.path.c_str(), out);
        EXPECT_EQ(row.expected, std::string(out)) << "row " << row.line;
        EXPECT_EQ('#', out[DISPLAY_NAME_SIZE]) << "row " << row.line << ": written past the name";
    }
}

// ---------------------------------------------------------------- name and extension

TEST(FileFit, NameOrExtension) {
    struct Row {
        int line;
        const char* fileName;  // null: none
        Strings extensions;
        const char* path;
        bool fits;
    } rows[] = {
        {1, "virus.exe", {}, "C:\\X\\VIRUS.EXE", true},
        {2, "virus.exe", {}, "C:\\X\\virus.exe.bak", false},
        {3, "virus.exe", {}, "virus.exe", true},
        {4, "virus.exe", {}, "C:\\virus.exe\\other", false},
        {5, nullptr, {".exe"}, "C:\\DIR.D\\README", false},
        {6, nullptr, {".exe"}, "C:\\a\\b.EXE", true},
        {7, nullptr, {".exe"}, "a.exe", true},
        {8, nullptr, {".exe"}, ".exe", false},  // four characters are too few
        {9, nullptr, {"exe"}, "C:\\a.exe", false},
        {10, nullptr, {".com", ".exe"}, "C:\\a.exe", true},
        {11, nullptr, {".gz"}, "C:\\a.tar.gz", true},
        {12, nullptr, {".tar.gz"}, "C:\\a.tar.gz", false},
        {13, nullptr, {","}, "C:\\a.,", false},
        {14, nullptr, {".exe"}, "C:\\noext", false},
        {15, nullptr, {}, "C:\\anything", true},
        {16, "a.txt", {".exe"}, "C:\\a.txt", true},  // the name decides
        {17, "a.txt", {".exe"}, "C:\\b.exe", false},
    };
    for (const Row& row : rows) {
        FileRecord* record = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
        if (row.fileName) record->fileName = strdup(row.fileName);
        for (size_t i = 0; i < row.extensions.size(); ++i)
            strcpy(record->extensions[i], row.extensions[i].c_str());
        EXPECT_EQ(row.fits, FitsNameOrExtension(record, row.path)) << "row " << row.line;
        FreeFileList(record);
    }
}

}  // namespace
