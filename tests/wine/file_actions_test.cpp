// File actions on real files in a scratch folder: what each keyword does to
// the file and to nothing else, the exact bytes a cut leaves, the questions,
// and failures reported with their messages and counted right.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/run_options.h"
#include "disk/file_actions.h"
#include "disk/file_record.h"
#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/prompts.h"
#include "script/action_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "script/store.h"
#include "support/wine_support.h"

namespace {

std::string g_log;
std::vector<std::string> g_questions;
std::string g_answers;

void Record(OutHandle, const char* bytes, size_t count) { g_log.append(bytes, count); }
const MessageSinks kSinks = {Record, nullptr, nullptr, nullptr, nullptr};

int NextAnswer() {
    if (g_answers.empty()) return 'N';
    int answer = g_answers[0];
    g_answers.erase(0, 1);
    return answer;
}
int AskYesNo(void*, const char* text, const char*) {
    g_questions.push_back(text);
    return NextAnswer();
}
int AskYesAllNo(void*, const char* upper, const char* lower) {
    g_questions.push_back(std::string(upper) + "|" + lower);
    return NextAnswer();
}
const PromptPort kPrompts = {AskYesNo, AskYesAllNo, nullptr};

char* Dup(const char* text) {
    if (!text) return nullptr;
    char* copy = static_cast<char*>(malloc(strlen(text) + 1));
    strcpy(copy, text);
    return copy;
}

// Bytes that differ from place to place, so that a cut at a wrong offset shows.
std::string Content(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
    return bytes;
}

// The attributes an action may clear; Wine keeps the archive bit either way.
const DWORD kGuarded = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()) & kGuarded; }

// Every file of a folder tree with its attributes and bytes.
using Snapshot = std::map<std::string, std::pair<DWORD, std::string>>;
void Take(const std::string& folder, const std::string& prefix, Snapshot* shot) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Take(path, prefix + name + "\\", shot);
        else
            (*shot)[prefix + name] = {found.dwFileAttributes & kGuarded, ReadWholeFile(path)};
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
Snapshot SnapshotOf(const std::string& folder) {
    Snapshot shot;
    Take(folder, "", &shot);
    return shot;
}

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

int TempLeftovers() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempFolder() + "mdx*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return n;
}

class FileActions : public testing::Test {
protected:
    void SetUp() override {
        savedReport_ = g_report;
        savedPrompts_ = g_prompts;
        g_report = ReportState{reinterpret_cast<OutHandle>(1), nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_prompts = &kPrompts;
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        // A neighbour that no action names: it must come through untouched.
        neighbour = folder + "\\KEEP.EXE";
        WriteWholeFile(neighbour, Content(300, 9));
        SetFileAttributesA(neighbour.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        Reset();
    }
    void TearDown() override {
        EXPECT_EQ(Content(300, 9), ReadWholeFile(neighbour));
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), Attributes(neighbour));
        EXPECT_EQ(0, TempLeftovers());
        Reset();
        FreeFileList(file);
        g_report = savedReport_;
        g_prompts = savedPrompts_;
    }
    void Reset() {
        g_settings.confirmation = 0;
        g_threatType = THREAT_VIRUS;
        g_yesToAll = 0;
        g_infected = 0;
        g_log.clear();
        g_questions.clear();
        g_answers.clear();
        ResetCounters();
        FreeStores();
    }
    // The FILE record of this test, built afresh.
    ActionRecord* Action(const char* keyword, const char* destination = nullptr) {
        FreeFileList(file);
        file = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
        file->virusName = Dup("W32.Evil");
        file->typeName = Dup("Virus");
        file->action = NewActionRecord();
        file->action->keyword = Dup(keyword);
        file->action->destination = Dup(destination);
        return file->action;
    }
    void AddPattern(uint32_t found) {
        PatternRecord* pattern = NewPatternRecord();
        pattern->found = found;
        AppendPattern(&file->patterns, pattern);
    }
    std::string Make(const std::string& name, const std::string& bytes, DWORD attributes = 0) {
        std::string path = folder + "\\" + name;
        WriteWholeFile(path, bytes);
        if (attributes) SetFileAttributesA(path.c_str(), attributes);
        return path;
    }
    void Act(const std::string& path) {
        ActOnFile(path.c_str(), path.c_str(), file, static_cast<uint32_t>(ReadWholeFile(path).size()));
    }
    std::string Found(const std::string& path) const {
        return "\r\n>>>Virus 'W32.Evil' found in file " + path + "\r\n";
    }

    std::string folder;
    std::string neighbour;
    FileRecord* file = nullptr;
    ReportState savedReport_;
    const PromptPort* savedPrompts_;
};

// ---- delete -------------------------------------------------------------

struct DeleteRow {
    int row;
    DWORD attributes;
};

const DeleteRow kDeletes[] = {
    {1, 0},
    {2, FILE_ATTRIBUTE_READONLY},
    {3, FILE_ATTRIBUTE_HIDDEN},
    {4, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
};

TEST_F(FileActions, DeleteRemovesTheFileWhateverItsAttributes) {
    for (const DeleteRow& r : kDeletes) {
        Reset();
        std::string path = Make("EVIL.EXE", Content(100, r.row), r.attributes);
        Action("delete");
        Act(path);
        EXPECT_FALSE(FileExists(path)) << "row " << r.row;
        EXPECT_EQ(Found(path) + "File deleted\r\n\r\n", g_log) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_FILES_DELETED]) << "row " << r.row;
    }
}

TEST_F(FileActions, DeletingAFileThatVanishedIsReportedAndNotCounted) {
    std::string path = folder + "\\GONE.EXE";
    Action("delete");
    ActOnFile(path.c_str(), path.c_str(), file, 100);
    EXPECT_EQ(Found(path) + "File deletion failed\r\n\r\n", g_log);
    EXPECT_EQ(1, g_counters[COUNT_FILES_FOUND]);
    EXPECT_EQ(0, g_counters[COUNT_FILES_DELETED]);
}

TEST_F(FileActions, DeletingAFileInUseFailsAndLeavesIt) {
    std::string path = Make("BUSY.EXE", Content(100, 1));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Action("delete");
    Act(path);
    CloseHandle(held);
    EXPECT_EQ(Content(100, 1), ReadWholeFile(path));
    EXPECT_EQ(Found(path) + "File deletion failed\r\n\r\n", g_log);
    EXPECT_EQ(0, g_counters[COUNT_FILES_DELETED]);
}

// ---- copy and move ------------------------------------------------------

TEST_F(FileActions, CopyLeavesTheFileAndOverwritesTheDestination) {
    std::string one = Make("ONE.EXE", Content(500, 1), FILE_ATTRIBUTE_READONLY);
    std::string two = Make("TWO.EXE", Content(700, 2));
    std::string destination = folder + "\\COPY.VIR";
    Action("copy", destination.c_str());
    Act(one);
    EXPECT_EQ(Content(500, 1), ReadWholeFile(destination));
    Act(two);
    EXPECT_EQ(Content(700, 2), ReadWholeFile(destination)) << "the second copy replaces the first";
    EXPECT_EQ(Content(500, 1), ReadWholeFile(one));
    EXPECT_EQ(Content(700, 2), ReadWholeFile(two));
    EXPECT_EQ(0u, Attributes(one)) << "attributes are cleared first";
    EXPECT_EQ("Copying " + one + " to " + destination + "\r\nCopying " + two + " to " + destination + "\r\n", g_log);
    EXPECT_EQ(0, g_counters[COUNT_FILES_FOUND]);
}

struct CopyFailureRow {
    int row;
    const char* keyword;
    const char* destination;  // under the scratch folder
    const char* failure;
};

// LOCKED.VIR is held open without sharing, TAKEN.VIR just exists, FOLDER is
// a folder.
const CopyFailureRow kCopyFailures[] = {
    {1, "copy", "\\NO\\SUCH\\COPY.VIR", "Could not copy file\r\n"},
    {2, "copy", "\\LOCKED.VIR", "Could not copy file\r\n"},
    {3, "copy", "\\FOLDER", "Could not copy file\r\n"},
    {4, "move", "\\NO\\SUCH\\MOVED.VIR", "Could not move file\r\n"},
    {5, "move", "\\TAKEN.VIR", "Could not move file\r\n"},
    {6, "move", "\\LOCKED.VIR", "Could not move file\r\n"},
};

TEST_F(FileActions, CopyOrMoveThatCannotWriteLeavesBothFiles) {
    for (const CopyFailureRow& r : kCopyFailures) {
        Reset();
        std::string path = Make("EVIL.EXE", Content(200, r.row));
        std::string locked = Make("LOCKED.VIR", "old copy");
        std::string taken = Make("TAKEN.VIR", "already here");
        CreateDirectoryA((folder + "\\FOLDER").c_str(), nullptr);
        HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        std::string destination = folder + r.destination;
        Action(r.keyword, destination.c_str());
        Act(path);
        CloseHandle(held);
        std::string verb = strcmp(r.keyword, "copy") == 0 ? "Copying " : "Moving ";
        EXPECT_EQ(verb + path + " to " + destination + "\r\n" + r.failure, g_log) << "row " << r.row;
        EXPECT_EQ(Content(200, r.row), ReadWholeFile(path)) << "row " << r.row;
        EXPECT_EQ("old copy", ReadWholeFile(locked)) << "row " << r.row;
        EXPECT_EQ("already here", ReadWholeFile(taken)) << "row " << r.row;
        EXPECT_FALSE(FileExists(folder + "\\NO")) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_FILES_FOUND] + g_counters[COUNT_FILES_DELETED] +
                         g_counters[COUNT_FILES_CHANGED])
            << "row " << r.row;
        RemoveFile(locked);
        RemoveFile(taken);
    }
}

TEST_F(FileActions, CopyOntoItselfLeavesTheFileWhole) {
    std::string path = Make("EVIL.EXE", Content(400, 3));
    Action("copy", path.c_str());
    Act(path);
    EXPECT_EQ(Content(400, 3), ReadWholeFile(path));
}

TEST_F(FileActions, MoveTakesTheFileToItsDestination) {
    std::string path = Make("EVIL.EXE", Content(600, 4), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((folder + "\\Q").c_str(), nullptr);
    std::string destination = folder + "\\Q\\EVIL.VIR";
    Action("Move", destination.c_str());
    Act(path);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(Content(600, 4), ReadWholeFile(destination));
    EXPECT_EQ("Moving " + path + " to " + destination + "\r\n", g_log);
    EXPECT_EQ(0, g_counters[COUNT_FILES_FOUND]);
}

TEST_F(FileActions, CopyAndMoveWithoutDestinationTouchNothingButAttributes) {
    const char* keywords[] = {"copy", "move"};
    for (const char* keyword : keywords) {
        Reset();
        std::string path = Make("EVIL.EXE", Content(50, 5), FILE_ATTRIBUTE_READONLY);
        Snapshot before = SnapshotOf(folder);
        Action(keyword);
        Act(path);
        before["EVIL.EXE"].first = 0;
        EXPECT_EQ(before, SnapshotOf(folder)) << keyword;
        EXPECT_EQ("", g_log) << keyword;
    }
}

// ---- cut ----------------------------------------------------------------

struct CutRow {
    int row;
    uint32_t size;
    std::vector<uint32_t> found;  // PATTERN positions
    PositionSpec start;
    PositionSpec end;
    uint32_t length;
    uint32_t keepHead;      // bytes kept from the front
    uint32_t tailFrom;      // kept from here to the end
};

const CutRow kCuts[] = {
    {1, 0x3000, {0x2000}, {16, 0}, {2, 0}, 0, 0x2000, 0x3000},
    {2, 0x1000, {}, {0, 0x100}, {2, 0}, 0x80, 0x100, 0x180},
    {3, 0x1000, {}, {0, 0}, {0, 0x200}, 0, 0, 0x200},
    {4, 0x1000, {0x10, 0x400}, {17, -4}, {2, -0x100}, 0, 0x3FC, 0xF00},
    {5, 0x1000, {0x800}, {0, 0x10}, {16, 0x20}, 0, 0x10, 0x820},
    {6, 0x1000, {}, {0, 0xF00}, {2, 0}, 0x1000, 0xF00, 0x1000},  // length past the end
    {7, 0x1000, {}, {0, 0}, {2, 0}, 0, 0, 0x1000},               // the whole content
    {8, 0x20000, {0x1FF00}, {16, 1}, {16, 0x81}, 0, 0x1FF01, 0x1FF81},
};

TEST_F(FileActions, CutLeavesExactlyTheBytesAroundTheRange) {
    for (const CutRow& r : kCuts) {
        Reset();
        std::string original = Content(r.size, r.row);
        std::string path = Make("EVIL.EXE", original, FILE_ATTRIBUTE_READONLY);
        std::string other = Make("OTHER.EXE", original);
        ActionRecord* action = Action("cut");
        for (uint32_t f : r.found) AddPattern(f);
        action->start = r.start;
        action->end = r.end;
        action->length = r.length;
        Act(path);
        std::string expected = original.substr(0, r.keepHead) + original.substr(r.tailFrom);
        std::string now = ReadWholeFile(path);
        EXPECT_EQ(expected.size(), now.size()) << "row " << r.row;
        EXPECT_TRUE(expected == now) << "row " << r.row;
        EXPECT_EQ(original, ReadWholeFile(other)) << "row " << r.row;
        EXPECT_EQ(Found(path) + "File disinfected\r\n", g_log) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_FILES_CHANGED]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_FILES_DELETED]) << "row " << r.row;
        RemoveFile(other);
    }
}

struct CutFailureRow {
    int row;
    int32_t threatType;
    std::vector<uint32_t> found;
    PositionSpec start;
    PositionSpec end;
    uint32_t length;
    int32_t sizeChange;  // the walk's size against the real one
    const char* failure;
};

const CutFailureRow kCutFailures[] = {
    {1, THREAT_VIRUS, {}, {0, 0x200}, {0, 0x200}, 0, 0, "Could not disinfect file\r\n"},
    {2, THREAT_WORM, {}, {0, 0x200}, {0, 0x100}, 0, 0, "Could not modify file\r\n"},
    {3, THREAT_VIRUS, {0x10}, {17, 0}, {2, 0}, 0, 0, "Could not disinfect file\r\n"},  // no PATTERN 1
    {4, THREAT_APPLICATION, {0x10}, {16, -0x20}, {2, 0}, 0, 0, "Could not modify file\r\n"},
    {5, THREAT_VIRUS, {}, {0, 0x2000}, {2, 0}, 0, 0, "Could not disinfect file\r\n"},  // past the end
    {6, THREAT_VIRUS, {}, {0, 0x100}, {2, 0}, 0, 0x10, "Could not disinfect file\r\n"},  // file grew
    {7, THREAT_TROJAN, {}, {0, 0x100}, {2, 0}, 0, -0x10, "Could not modify file\r\n"},  // file shrank
};

TEST_F(FileActions, CutThatCannotBeMadeLeavesTheFileUnchanged) {
    for (const CutFailureRow& r : kCutFailures) {
        Reset();
        g_threatType = r.threatType;
        std::string original = Content(0x1000, r.row);
        std::string path = Make("EVIL.EXE", original);
        ActionRecord* action = Action("cut");
        for (uint32_t f : r.found) AddPattern(f);
        action->start = r.start;
        action->end = r.end;
        action->length = r.length;
        ActOnFile(path.c_str(), path.c_str(), file, static_cast<uint32_t>(0x1000 - r.sizeChange));
        EXPECT_TRUE(original == ReadWholeFile(path)) << "row " << r.row;
        EXPECT_EQ(Found(path) + r.failure, g_log) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_FILES_CHANGED]) << "row " << r.row;
    }
}

TEST_F(FileActions, CutOfAFileThatVanishedOrIsInUseFails) {
    std::string gone = folder + "\\GONE.EXE";
    Action("cut")->length = 0x10;
    ActOnFile(gone.c_str(), gone.c_str(), file, 0x100);
    EXPECT_FALSE(FileExists(gone));

    std::string busy = Make("BUSY.EXE", Content(0x100, 7));
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Act(busy);
    CloseHandle(held);
    EXPECT_EQ(Content(0x100, 7), ReadWholeFile(busy));
    EXPECT_EQ(Found(gone) + "Could not disinfect file\r\n" + Found(busy) + "Could not disinfect file\r\n", g_log);
    EXPECT_EQ(0, g_counters[COUNT_FILES_CHANGED]);
}

// ---- store --------------------------------------------------------------

struct StoreRow {
    int row;
    const char* keyword;
    uint32_t flags;
    const char* expected;  // with <folder> for the scratch folder
    bool fileStays;
};

const StoreRow kStores[] = {
    {1, "store", STORE_LIST | STORE_NO_EXT, "EVIL", true},
    {2, "store", STORE_FULL_PATH, "<folder>\\EVIL.EXE.TXT", true},
    {3, "store", STORE_FULL_PATH | STORE_NO_EXT, "<folder>\\EVIL", true},
    {4, "delete", STORE_NO_EXT, "EVIL", false},
    {5, "store", 0, "EVIL.EXE.TXT", true},
};

TEST_F(FileActions, StoreRecordsTheNameAndOnlyDeleteRemovesTheFile) {
    for (const StoreRow& r : kStores) {
        Reset();
        std::string path = Make("EVIL.EXE.TXT", Content(64, r.row), FILE_ATTRIBUTE_HIDDEN);
        ActionRecord* action = Action(r.keyword);
        action->storeName = Dup("%dropped%");
        action->storeFlags = r.flags;
        Act(path);
        std::string expected = r.expected;
        if (expected.compare(0, 8, "<folder>") == 0) expected = folder + expected.substr(8);
        ASSERT_NE(nullptr, g_stores) << "row " << r.row;
        EXPECT_STREQ("%dropped%", g_stores->name) << "row " << r.row;
        EXPECT_EQ((r.flags & STORE_LIST) ? 1 : 0, g_stores->isList) << "row " << r.row;
        EXPECT_EQ(expected, g_stores->values->text) << "row " << r.row;
        EXPECT_EQ(r.fileStays, FileExists(path)) << "row " << r.row;
        if (r.fileStays) {
            EXPECT_EQ(Content(64, r.row), ReadWholeFile(path)) << "row " << r.row;
        }
        RemoveFile(path);
    }
}

// ---- questions ----------------------------------------------------------

struct QuestionRow {
    int row;
    int32_t confirmation;
    const char* answers;
    int asked;
    bool firstDeleted, secondDeleted;
};

const QuestionRow kQuestions[] = {
    {1, 1, "YY", 2, true, true},
    {2, 1, "NY", 2, false, true},
    {3, 1, "NN", 2, false, false},
    {4, 1, "A", 1, true, true},  // Yes to All answers the second question
    {5, 0, "", 0, true, true},   // confirmation off: no question at all
};

TEST_F(FileActions, QuestionsDecideWhetherTheFileIsDeleted) {
    for (const QuestionRow& r : kQuestions) {
        Reset();
        g_settings.confirmation = r.confirmation;
        g_answers = r.answers;
        std::string first = Make("ONE.EXE", "one");
        std::string second = Make("TWO.EXE", "two");
        ActionRecord* action = Action("delete");
        action->confirm = Dup("Delete this file?");
        action->message = Dup("Remove %s?\\n(recommended)");
        ActOnFile(first.c_str(), "C:\\...\\ONE.EXE", file, 3);
        ActOnFile(second.c_str(), "C:\\...\\TWO.EXE", file, 3);
        ASSERT_EQ(static_cast<size_t>(r.asked), g_questions.size()) << "row " << r.row;
        if (r.asked > 0) {
            EXPECT_EQ("Remove C:\\...\\ONE.EXE?\n(recommended)|Delete this file?", g_questions[0]) << "row " << r.row;
        }
        EXPECT_NE(r.firstDeleted, FileExists(first)) << "row " << r.row;
        EXPECT_NE(r.secondDeleted, FileExists(second)) << "row " << r.row;
        EXPECT_EQ(2, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(int(r.firstDeleted) + int(r.secondDeleted), g_counters[COUNT_FILES_DELETED]) << "row " << r.row;
        RemoveFile(first);
        RemoveFile(second);
    }
}

TEST_F(FileActions, AnsweredNoTheFileKeepsItsAttributes) {
    g_settings.confirmation = 1;
    g_answers = "N";
    std::string path = Make("EVIL.EXE", "evil", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Action("cut")->confirm = Dup("Cut?");
    Act(path);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), Attributes(path));
    EXPECT_EQ("Virus found in file\n" + path + "|Cut?", g_questions.at(0));
    RemoveFile(path);
}

// ---- no action, no keyword, other keywords ------------------------------

struct QuietRow {
    int row;
    const char* keyword;  // null: no keyword
    bool withAction;
    bool announced;
    DWORD attributesAfter;
};

const QuietRow kQuiet[] = {
    {1, nullptr, false, false, FILE_ATTRIBUTE_READONLY},
    {2, nullptr, true, false, FILE_ATTRIBUTE_READONLY},
    {3, "quarantine", true, true, 0},
    {4, "store", true, false, 0},
};

TEST_F(FileActions, WithoutAKnownKeywordTheContentStays) {
    for (const QuietRow& r : kQuiet) {
        Reset();
        std::string path = Make("EVIL.EXE", Content(80, r.row), FILE_ATTRIBUTE_READONLY);
        Action(r.keyword);
        if (!r.withAction) {
            FreeActionRecord(file->action);
            file->action = nullptr;
        }
        Act(path);
        EXPECT_EQ(Content(80, r.row), ReadWholeFile(path)) << "row " << r.row;
        EXPECT_EQ(r.attributesAfter, Attributes(path)) << "row " << r.row;
        EXPECT_EQ(r.announced ? Found(path) : "", g_log) << "row " << r.row;
        EXPECT_EQ(r.announced ? 1 : 0, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        RemoveFile(path);
    }
}

// ---- end to end through the console front end -----------------------------

// The data file and the log live beside the folder the script searches.
class EndToEnd : public FileActions {
protected:
    void SetUp() override {
        FileActions::SetUp();
        runFolder = MakeScratchFolder(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".run");
        log = runFolder + "\\run.log";
    }
    static std::string Script(const std::string& type, const std::string& disks) {
        return "<CLEANER DataFile=\"Test.Evil\" Version=\"1\" Type=\"" + type +
               "\"><IDENTITY GenericName=\"Test.Evil\">" + disks + "</IDENTITY></CLEANER>";
    }
    static std::string Disk(const std::string& directory, const std::string& files) {
        return "<DISK><DIRECTORY>" + directory + "</DIRECTORY>" + files + "</DISK>";
    }
    // Runs the script; answers are the console lines after the rights question.
    ProcessResult Run(const std::string& xml, const char* answers = nullptr) {
        std::string dat = runFolder + "\\test.dat";
        EXPECT_TRUE(BuildDataFile(xml, dat));
        std::string command = "C:\\mendrix\\mendrix-cli.exe -df=" + dat + " -lf=" + log;
        if (!answers) return RunProgram(command + " -noc");
        return RunProgram(command, std::string("y\r\n") + answers);
    }
    std::string Log() const { return ReadWholeFile(log); }
    std::string FoundInRun(const std::string& path) const {
        return "\r\n>>>Virus 'Test.Evil' found in file " + path + "\r\n";
    }
    std::string runFolder;
    std::string log;
};

TEST_F(EndToEnd, DeleteRemovesOnlyTheNamedFile) {
    std::string path = Make("EVIL.EXE", Content(100, 1), FILE_ATTRIBUTE_READONLY);
    ProcessResult r = Run(Script("Virus", Disk(folder, "<FILE FileName=\"evil.exe\"><ACTION>delete</ACTION></FILE>")));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_FALSE(FileExists(path));
    EXPECT_NE(std::string::npos, Log().find(FoundInRun(path) + "File deleted\r\n\r\n")) << Log();
    EXPECT_NE(std::string::npos, Log().find("\tFiles found                         : 1\r\n"
                                            "\tFiles deleted                       : 1\r\n"))
        << Log();
}

TEST_F(EndToEnd, CopyAndMoveTakeTheFileToTheirDestinations) {
    std::string copied = Make("COPIED.EXE", Content(100, 2));
    std::string moved = Make("MOVED.EXE", Content(100, 3));
    CreateDirectoryA((runFolder + "\\Q").c_str(), nullptr);
    std::string copy = runFolder + "\\Q\\COPIED.VIR", move = runFolder + "\\Q\\MOVED.VIR";
    ProcessResult r = Run(Script(
        "Virus", Disk(folder, "<FILE FileName=\"COPIED.EXE\"><ACTION destination=\"" + copy + "\">copy</ACTION></FILE>"
                              "<FILE FileName=\"MOVED.EXE\"><ACTION destination=\"" + move + "\">move</ACTION></FILE>")));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(Content(100, 2), ReadWholeFile(copied));
    EXPECT_EQ(Content(100, 2), ReadWholeFile(copy));
    EXPECT_FALSE(FileExists(moved));
    EXPECT_EQ(Content(100, 3), ReadWholeFile(move));
    std::string text = Log();
    EXPECT_NE(std::string::npos, text.find("Copying " + copied + " to " + copy + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Moving " + moved + " to " + move + "\r\n")) << text;
    EXPECT_EQ(std::string::npos, text.find(">>>")) << "copying and moving announce nothing";
}

TEST_F(EndToEnd, CutKeepsTheBytesBeforeThePattern) {
    std::string original = Content(0x3000, 4);
    original.replace(0x2000, 4, "\xDE\xAD\xBE\xEF", 4);
    std::string path = Make("EVIL.EXE", original);
    ProcessResult r = Run(Script("Worm", Disk(folder,
        "<FILE FileName=\"EVIL.EXE\"><PATTERN type=\"forwards\">DE AD BE EF</PATTERN>"
        "<ACTION start=\"pattern0\">cut</ACTION></FILE>")));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_TRUE(original.substr(0, 0x2000) == ReadWholeFile(path));
    EXPECT_NE(std::string::npos, Log().find("\r\n>>>Worm 'Test.Evil' found in file " + path + "\r\nFile modified\r\n"))
        << Log();
    EXPECT_NE(std::string::npos, Log().find("\tFiles deleted                       : 0\r\n"
                                            "\tFiles changed                       : 1\r\n"))
        << Log();
}

TEST_F(EndToEnd, StoredPathIsSearchedByALaterDirectory) {
    CreateDirectoryA((folder + "\\A").c_str(), nullptr);
    std::string seed = folder + "\\A\\SEED.TXT", other = folder + "\\A\\OTHER.TXT";
    WriteWholeFile(seed, "seed");
    WriteWholeFile(other, "other");
    ProcessResult r = Run(Script("Virus",
        Disk(folder + "\\A", "<FILE FileName=\"SEED.TXT\"><ACTION store=\"%seed%\" storeFlag=\"FullPath\">store</ACTION></FILE>") +
        Disk("%seed%", "<FILE><ACTION>delete</ACTION></FILE>")));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_FALSE(FileExists(seed));
    EXPECT_EQ("other", ReadWholeFile(other)) << "only the stored file is searched";
}

TEST_F(EndToEnd, ConsoleAnswersNoThenYesToAll) {
    CreateDirectoryA((folder + "\\Q").c_str(), nullptr);
    const char* names[] = {"ONE.EXE", "TWO.EXE", "THREE.EXE"};
    for (const char* name : names) WriteWholeFile(folder + "\\Q\\" + name, name);
    ProcessResult r = Run(Script("Virus", Disk(folder + "\\Q",
        "<FILE><ACTION confirm=\"Delete it?\" message=\"Remove %s?\\n(recommended)\">delete</ACTION></FILE>")),
        "n\r\na\r\n");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    int left = 0;
    for (const char* name : names) left += FileExists(folder + "\\Q\\" + name) ? 1 : 0;
    EXPECT_EQ(1, left);
    size_t asked = 0;
    for (size_t at = r.output.find("(recommended)\r\nDelete it?"); at != std::string::npos;
         at = r.output.find("(recommended)\r\nDelete it?", at + 1))
        ++asked;
    EXPECT_EQ(2u, asked) << r.output;
    // The question names the file by its short display form.
    EXPECT_NE(std::string::npos, r.output.find("\r\nRemove C:\\mendrix\\...\\")) << r.output;
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
