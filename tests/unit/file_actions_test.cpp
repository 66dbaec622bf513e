// File actions with the native file-operation stand-ins: what is stored,
// what is asked, what is said and counted, and which operations run on which
// paths, for every keyword and answer.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <algorithm>
#include <string.h>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "disk/file_actions.h"
#include "disk/file_record.h"
#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/prompts.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "script/store.h"
#include "fake_undo_saving.h"

namespace {

std::string Take(char* text) {
    std::string result = text ? text : "<null>";
    free(text);
    return result;
}

char* Dup(const char* text) { return text ? strdup(text) : nullptr; }

// ---- store value --------------------------------------------------------

struct StoreValueRow {
    int row;
    const char* path;
    uint32_t flags;
    const char* expected;
};

const StoreValueRow kStoreValues[] = {
    {1, "C:\\DIR\\EVIL.EXE.TXT", 0, "EVIL.EXE.TXT"},
    {2, "C:\\DIR\\EVIL.EXE.TXT", STORE_NO_EXT, "EVIL"},
    {3, "C:\\DIR\\EVIL.EXE.TXT", STORE_FULL_PATH, "C:\\DIR\\EVIL.EXE.TXT"},
    {4, "C:\\DIR\\EVIL.EXE.TXT", STORE_FULL_PATH | STORE_NO_EXT, "C:\\DIR\\EVIL"},
    {5, "C:\\DIR.D\\README", STORE_NO_EXT, "README"},  // a dot in a folder name stays
    {6, "C:\\DIR.D\\README", STORE_FULL_PATH | STORE_NO_EXT, "C:\\DIR.D\\README"},
    {7, "EVIL.EXE", STORE_NO_EXT, "EVIL"},  // no backslash: the whole text is the name
    {8, "C:\\DIR\\.HIDDEN", STORE_NO_EXT, ""},
    {9, "C:\\DIR\\", 0, ""},
    {10, "C:\\DIR\\EVIL.EXE", STORE_LIST, "EVIL.EXE"},
};

TEST(StoreValue, NameOrPathWithOrWithoutExtension) {
    for (const StoreValueRow& r : kStoreValues)
        EXPECT_EQ(r.expected, Take(StoreValueOf(r.path, r.flags))) << "row " << r.row;
}

// ---- question detail ----------------------------------------------------

struct DetailRow {
    int row;
    const char* message;  // null: none
    const char* typeName;
    const char* displayName;
    const char* expected;
};

const DetailRow kDetails[] = {
    {1, "Remove %s?\\n(recommended)", "Virus", "C:\\WINDOWS\\...\\HOSTS.EXE",
     "Remove C:\\WINDOWS\\...\\HOSTS.EXE?\n(recommended)"},
    {2, nullptr, "Virus", "C:\\X\\EVIL.EXE", "Virus found in file\nC:\\X\\EVIL.EXE"},
    {3, nullptr, "Trojan", "", "Trojan found in file\n"},
    {4, "%s and %s", "Virus", "A.EXE", "A.EXE and A.EXE"},
    {5, "100%d %x %", "Virus", "A.EXE", "100%d %x %"},  // no other format is honoured
    {6, "\\N\\t\\", "Virus", "A.EXE", "\\N\\t\\"},        // only backslash and small n
    {7, "\\\\n", "Virus", "A.EXE", "\\\n"},
    {8, "", "Virus", "A.EXE", ""},
    {9, "%%s", "Virus", "A.EXE", "%A.EXE"},
    {10, "ends in %", "Virus", "A.EXE", "ends in %"},
    {11, "%s", "Virus", "C:\\%s\\B.EXE", "C:\\%s\\B.EXE"},  // a name is not read again
};

TEST(QuestionDetail, MessageFilledOrTheDefaultWording) {
    for (const DetailRow& r : kDetails) {
        ActionRecord* action = NewActionRecord();
        ASSERT_NE(nullptr, action);
        action->message = Dup(r.message);
        EXPECT_EQ(r.expected, Take(QuestionDetail(action, r.typeName, r.displayName))) << "row " << r.row;
        FreeActionRecord(action);
    }
}

// ---- cut range ----------------------------------------------------------

const uint32_t kNone = PATTERN_NOT_FOUND;

struct RangeRow {
    int row;
    std::vector<uint32_t> found;  // one PATTERN per entry
    PositionSpec start;
    PositionSpec end;
    uint32_t length;
    uint32_t size;
    bool ok;
    uint32_t cutStart;
    uint32_t cutEnd;
};

const RangeRow kRanges[] = {
    {1, {0x2000}, {16, 0}, {2, 0}, 0, 0x3000, true, 0x2000, 0x3000},
    {2, {}, {0, 0x10}, {2, 0}, 0x20, 0x100, true, 0x10, 0x30},
    {3, {}, {0, 0x10}, {0, 0x10}, 0, 0x100, false, 0, 0},  // end at the start
    {4, {}, {0, 0x20}, {0, 0x10}, 0, 0x100, false, 0, 0},  // end before the start
    {5, {0x10, 0x80}, {17, 4}, {2, -0x10}, 0, 0x100, true, 0x84, 0xF0},
    {6, {0x10}, {17, 0}, {2, 0}, 0, 0x100, false, 0, 0},     // no PATTERN 1
    {7, {kNone}, {16, 0}, {2, 0}, 0, 0x100, false, 0, 0},    // PATTERN not found
    {8, {0x40}, {0, 0}, {16, 8}, 0, 0x100, true, 0, 0x48},
    {9, {0x40}, {0, 0}, {17, 0}, 0, 0x100, false, 0, 0},     // end names a missing PATTERN
    {10, {}, {2, 0x10}, {2, 0}, 0, 0x100, true, 0x10, 0x100},  // the end origin starts at 0
    {11, {}, {3, 0x10}, {1, 0x20}, 0, 0x100, true, 0x10, 0x20},  // other origins count from 0
    {12, {0x10}, {16, -0x20}, {2, 0}, 0, 0x100, false, 0, 0},  // before the file
    {13, {0x10}, {0, 0}, {16, -0x20}, 0, 0x100, false, 0, 0},  // end before the file
    {14, {}, {0, 0x80}, {2, 0}, 0x100, 0x100, true, 0x80, 0x100},  // length past the end
    {15, {}, {0, 0x80}, {2, 0}, 0xFFFFFFFFu, 0x100, true, 0x80, 0x100},  // no wrap
    {16, {}, {0, 0x100}, {2, 0}, 0x10, 0x100, false, 0, 0},  // nothing left to cut
    {17, {}, {0, 0x200}, {2, 0}, 0, 0x100, false, 0, 0},     // start past the end
    {18, {}, {0, 0}, {2, 0}, 0, 0x100, true, 0, 0x100},      // the whole file
    {19, {}, {0, 0}, {2, 0}, 0, 0, false, 0, 0},             // an empty file
    {20, {}, {0, 0}, {0, 0x7FFFFFFF}, 0, 0xFFFFFFFFu, true, 0, 0x7FFFFFFF},
    {21, {0xFFFFFFF0u}, {16, 0x7FFFFFFF}, {2, 0}, 0, 0xFFFFFFFFu, false, 0, 0},
};

FileRecord* NewFile(const std::vector<uint32_t>& found) {
    FileRecord* file = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    file->action = NewActionRecord();
    for (uint32_t f : found) {
        PatternRecord* pattern = NewPatternRecord();
        pattern->found = f;
        AppendPattern(&file->patterns, pattern);
    }
    return file;
}

TEST(CutRangeOf, PositionsFromTheStartTheEndAndFoundPatterns) {
    for (const RangeRow& r : kRanges) {
        FileRecord* file = NewFile(r.found);
        file->action->start = r.start;
        file->action->end = r.end;
        file->action->length = r.length;
        CutRange range = {0xDEAD, 0xBEEF};
        bool ok = FindCutRange(file, r.size, &range);
        EXPECT_EQ(r.ok, ok) << "row " << r.row;
        if (ok && r.ok) {
            EXPECT_EQ(r.cutStart, range.start) << "row " << r.row;
            EXPECT_EQ(r.cutEnd, range.end) << "row " << r.row;
        }
        FreeFileList(file);
    }
}

TEST(CutRangeOf, RecordWithoutActionHasNoRange) {
    FileRecord file = {};
    CutRange range;
    EXPECT_FALSE(FindCutRange(&file, 0x100, &range));
}

// ---- the whole action ---------------------------------------------------

OutHandle const kLog = reinterpret_cast<OutHandle>(0x100);
std::string g_log;
std::vector<std::string> g_questions;
std::string g_answers;

void Write(OutHandle file, const char* bytes, size_t count) {
    if (file == kLog) g_log.append(bytes, count);
}
const MessageSinks kSinks = {Write, nullptr, nullptr, nullptr, nullptr};

int NextAnswer() {
    if (g_answers.empty()) return 'N';
    int answer = g_answers[0];
    g_answers.erase(0, 1);
    return answer;
}
int AskYesNo(void*, const char* text, const char*) {
    g_questions.push_back(std::string("box:") + text);
    return NextAnswer();
}
int AskYesAllNo(void*, const char* upper, const char* lower) {
    g_questions.push_back(std::string(upper) + "|" + lower);
    return NextAnswer();
}
const PromptPort kPrompts = {AskYesNo, AskYesAllNo, nullptr};

const char kPath[] = "C:\\DIR\\EVIL.EXE";
const char kShown[] = "C:\\DIR\\EVIL.EXE";

class ActOnFileTest : public testing::Test {
protected:
    void SetUp() override {
        savedReport_ = g_report;
        savedPrompts_ = g_prompts;
        savedConfirmation_ = g_settings.confirmation;
        savedThreat_ = g_threatType;
        Reset();
    }
    void TearDown() override {
        Reset();
        g_report = savedReport_;
        g_prompts = savedPrompts_;
        g_settings.confirmation = savedConfirmation_;
        g_threatType = savedThreat_;
    }
    // A fresh run: every table row starts from here.
    static void Reset() {
        g_report = ReportState{kLog, nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_prompts = &kPrompts;
        g_settings.confirmation = 1;
        g_threatType = THREAT_VIRUS;
        g_yesToAll = 0;
        g_infected = 0;
        g_fileOpTrace[0] = 0;
        g_failingFileOps = 0;
        g_log.clear();
        g_questions.clear();
        g_answers.clear();
        ResetCounters();
        FreeStores();
    }
    // A fresh run acts on one file with no question asked: the FILE_OP bits
    // of failing fail and the undo saver answers saveAnswer.
    static void ActWithoutQuestions(const char* typeName, const char* keyword, const char* destination,
                                    uint32_t failing, bool saveAnswer) {
        Reset();
        FreeRunItems();
        g_settings.confirmation = 0;
        g_failingFileOps = failing;
        FakeUndoSaving::Install(saveAnswer);
        FileRecord* file = NewFile({});
        file->typeName = Dup(typeName);
        file->action->keyword = Dup(keyword);
        file->action->destination = Dup(destination);
        ActOnFile(kPath, kShown, file, 0x100);
        FakeUndoSaving::Remove();
        FreeFileList(file);
    }
    static std::string StoreText(const char* name) {
        for (Store* s = g_stores; s; s = s->next) {
            if (strcmp(s->name, name) != 0) continue;
            std::string all;
            for (StoreValue* v = s->values; v; v = v->next) all += std::string(all.empty() ? "" : ",") + v->text;
            return (s->isList ? "list:" : "single:") + all;
        }
        return "<none>";
    }
    ReportState savedReport_;
    const PromptPort* savedPrompts_;
    int32_t savedConfirmation_;
    int32_t savedThreat_;
};

const char kFound[] = "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\n";

struct FlowRow {
    int row;
    const char* keyword;      // null: the ACTION has no text
    const char* destination;  // null: none
    const char* confirm;      // null: no question
    int32_t confirmation;     // the run's confirmation word
    const char* answers;      // given in order
    uint32_t failing;         // FILE_OP bits that fail
    int32_t threatType;
    const char* log;
    const char* trace;
    int found, deleted, changed;
    int asked;
};

const uint32_t kFailDelete = 1u << FILE_OP_DELETE;
const uint32_t kFailCopy = 1u << FILE_OP_COPY;
const uint32_t kFailMove = 1u << FILE_OP_MOVE;
const uint32_t kFailCut = 1u << FILE_OP_CUT;
const uint32_t kFailAttributes = 1u << FILE_OP_ATTRIBUTES;

const FlowRow kFlows[] = {
    // delete
    {1, "delete", nullptr, nullptr, 1, "", 0, 1, "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deleted\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 1, 0, 0},
    {2, "DELETE", nullptr, nullptr, 1, "", kFailDelete, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deletion failed\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    {3, "delete", nullptr, "Delete?", 1, "Y", 0, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deleted\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 1, 0, 1},
    {4, "delete", nullptr, "Delete?", 1, "N", 0, 1, "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\n", "",
     1, 0, 0, 1},
    {5, "delete", nullptr, "Delete?", 0, "", 0, 1,  // -noc: no question, deleted
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deleted\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 1, 0, 0},
    {6, "delete", nullptr, "Delete?", 1, "A", 0, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deleted\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 1, 0, 1},
    {7, "delete", nullptr, "Delete?", 1, "x", 0, 1, "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\n", "",
     1, 0, 0, 1},
    // attributes that cannot be cleared do not stop the deletion
    {8, "delete", nullptr, nullptr, 1, "", kFailAttributes, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile deleted\r\n\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, 1, 0, 0},
    // copy and move: no found message
    {9, "copy", "D:\\Q\\EVIL.VIR", nullptr, 1, "", 0, 1, "Copying C:\\DIR\\EVIL.EXE to D:\\Q\\EVIL.VIR\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncopy C:\\DIR\\EVIL.EXE > D:\\Q\\EVIL.VIR\n", 0, 0, 0, 0},
    {10, "Copy", "D:\\Q\\EVIL.VIR", nullptr, 1, "", kFailCopy, 1,
     "Copying C:\\DIR\\EVIL.EXE to D:\\Q\\EVIL.VIR\r\nCould not copy file\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncopy C:\\DIR\\EVIL.EXE > D:\\Q\\EVIL.VIR\n", 0, 0, 0, 0},
    {11, "copy", nullptr, nullptr, 1, "", 0, 1, "", "attributes C:\\DIR\\EVIL.EXE\n", 0, 0, 0, 0},
    {12, "move", "D:\\Q\\EVIL.VIR", nullptr, 1, "", 0, 1, "Moving C:\\DIR\\EVIL.EXE to D:\\Q\\EVIL.VIR\r\n",
     "attributes C:\\DIR\\EVIL.EXE\nattributes D:\\Q\\EVIL.VIR\nmove C:\\DIR\\EVIL.EXE > D:\\Q\\EVIL.VIR\n", 0, 0, 0, 0},
    {13, "MOVE", "D:\\Q\\EVIL.VIR", nullptr, 1, "", kFailMove, 1,
     "Moving C:\\DIR\\EVIL.EXE to D:\\Q\\EVIL.VIR\r\nCould not move file\r\n",
     "attributes C:\\DIR\\EVIL.EXE\nattributes D:\\Q\\EVIL.VIR\nmove C:\\DIR\\EVIL.EXE > D:\\Q\\EVIL.VIR\n", 0, 0, 0, 0},
    {14, "move", nullptr, nullptr, 1, "", 0, 1, "", "attributes C:\\DIR\\EVIL.EXE\n", 0, 0, 0, 0},
    {15, "copy", "D:\\Q\\EVIL.VIR", "Copy?", 1, "N", 0, 1, "", "", 0, 0, 0, 1},
    // cut, with both wordings
    {16, "cut", nullptr, nullptr, 1, "", 0, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile disinfected\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", 1, 0, 1, 0},
    {17, "cut", nullptr, nullptr, 1, "", 0, 3,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nFile modified\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", 1, 0, 1, 0},
    {18, "Cut", nullptr, nullptr, 1, "", kFailCut, 1,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nCould not disinfect file\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    {19, "cut", nullptr, nullptr, 1, "", kFailCut, 4,
     "\r\n>>>Virus 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\nCould not modify file\r\n",
     "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    // store: the file stays, only its attributes are cleared
    {20, "store", nullptr, nullptr, 1, "", 0, 1, "", "attributes C:\\DIR\\EVIL.EXE\n", 0, 0, 0, 0},
    {21, "STORE", nullptr, "Store?", 1, "N", 0, 1, "", "", 0, 0, 0, 1},
    // other keywords go to the plugin, which changes nothing
    {22, "quarantine", nullptr, nullptr, 1, "", 0, 1, kFound, "attributes C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    {23, "", nullptr, nullptr, 1, "", 0, 1, kFound, "attributes C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    {24, "deletes", nullptr, nullptr, 1, "", 0, 1, kFound, "attributes C:\\DIR\\EVIL.EXE\n", 1, 0, 0, 0},
    // no keyword: only the question is asked, nothing happens to the file
    {25, nullptr, nullptr, "Go?", 1, "Y", 0, 1, "", "", 0, 0, 0, 1},
    {26, nullptr, nullptr, nullptr, 1, "", 0, 1, "", "", 0, 0, 0, 0},
};

TEST_F(ActOnFileTest, KeywordsAnswersAndFailures) {
    for (const FlowRow& r : kFlows) {
        Reset();
        g_settings.confirmation = r.confirmation;
        g_answers = r.answers;
        g_failingFileOps = r.failing;
        g_threatType = r.threatType;
        FileRecord* file = NewFile({});
        file->virusName = Dup("W32.Evil");
        file->typeName = Dup("Virus");
        file->action->keyword = Dup(r.keyword);
        file->action->destination = Dup(r.destination);
        file->action->confirm = Dup(r.confirm);
        ActOnFile(kPath, kShown, file, 0x100);
        EXPECT_EQ(r.log, g_log) << "row " << r.row;
        EXPECT_EQ(r.trace, std::string(g_fileOpTrace)) << "row " << r.row;
        EXPECT_EQ(r.found, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(r.deleted, g_counters[COUNT_FILES_DELETED]) << "row " << r.row;
        EXPECT_EQ(r.changed, g_counters[COUNT_FILES_CHANGED]) << "row " << r.row;
        EXPECT_EQ(static_cast<size_t>(r.asked), g_questions.size()) << "row " << r.row;
        EXPECT_EQ(0, g_infected) << "row " << r.row;
        FreeFileList(file);
    }
}

// Each change is saved for undo before the file is touched; a failed save
// leaves the file alone, and the saver hears whether the change was made.
TEST_F(ActOnFileTest, ChangesAreSavedForUndoFirst) {
    const char* kFailed = "File left unchanged: could not save it for undo (the disk is full)\r\n\r\n";
    struct Row {
        int row;
        const char* keyword;
        const char* destination;
        bool saveAnswer;
        uint32_t failing;
        std::string calls;  // the saver's calls, one a line
        const char* trace;
        std::string logTail;
    } rows[] = {
        {1, "delete", nullptr, true, 0, "file 0 C:\\DIR\\EVIL.EXE\nmade\n",
         "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", "File deleted\r\n\r\n"},
        {2, "delete", nullptr, true, kFailDelete, "file 0 C:\\DIR\\EVIL.EXE\nnot made\n",
         "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", "File deletion failed\r\n\r\n"},
        {3, "delete", nullptr, false, 0, "file 0 C:\\DIR\\EVIL.EXE\n", "", kFailed},
        {4, "move", "D:\\Q\\E.VIR", true, 0, "file 1 C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\nmade\n",
         "attributes C:\\DIR\\EVIL.EXE\nattributes D:\\Q\\E.VIR\nmove C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\n", "E.VIR\r\n"},
        {5, "move", "D:\\Q\\E.VIR", false, 0, "file 1 C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\n", "", kFailed},
        {6, "cut", nullptr, true, kFailCut, "file 2 C:\\DIR\\EVIL.EXE\nnot made\n",
         "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", "Could not disinfect file\r\n"},
        {7, "cut", nullptr, false, 0, "file 2 C:\\DIR\\EVIL.EXE\n", "", kFailed},
        // what does not change the file is not saved
        {8, "copy", "D:\\Q\\E.VIR", false, 0, "", "attributes C:\\DIR\\EVIL.EXE\ncopy C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\n",
         "E.VIR\r\n"},
        {9, "move", nullptr, false, 0, "", "attributes C:\\DIR\\EVIL.EXE\n", ""},
        {10, "store", nullptr, false, 0, "", "attributes C:\\DIR\\EVIL.EXE\n", ""},
    };
    for (const Row& r : rows) {
        ActWithoutQuestions("Virus", r.keyword, r.destination, r.failing, r.saveAnswer);
        std::string calls;
        for (const std::string& c : FakeUndoSaving::Calls()) calls += c + "\n";
        EXPECT_EQ(r.calls, calls) << "row " << r.row;
        EXPECT_EQ(r.trace, std::string(g_fileOpTrace)) << "row " << r.row;
        EXPECT_EQ(r.logTail, g_log.substr(g_log.size() - std::min(g_log.size(), r.logTail.size()))) << "row " << r.row << g_log;
    }
    FreeRunItems();
}

// The report's item for each file acted on: one item, its outcome, and the
// Windows error of a failed operation.
TEST_F(ActOnFileTest, EachFileActedOnIsOneReportItem) {
    struct Row {
        int row;
        const char* keyword;
        const char* destination;
        const char* answers;  // with confirmation on and a question
        uint32_t failing;
        bool saveAnswer;
        int items;  // 0 or 1
        int32_t outcome;
        uint32_t error;
    } rows[] = {
        {1, "delete", nullptr, nullptr, 0, true, 1, OUTCOME_DONE, 0},
        {2, "delete", nullptr, nullptr, kFailDelete, true, 1, OUTCOME_FAILED, 5},
        {3, "delete", nullptr, "N", 0, true, 1, OUTCOME_DECLINED, 0},
        {4, "delete", nullptr, nullptr, 0, false, 1, OUTCOME_NOT_SAVED, 0},
        {5, "copy", "D:\\Q\\E.VIR", nullptr, 0, true, 1, OUTCOME_DONE, 0},
        {6, "copy", "D:\\Q\\E.VIR", nullptr, kFailCopy, true, 1, OUTCOME_FAILED, 5},
        {7, "move", "D:\\Q\\E.VIR", nullptr, kFailMove, true, 1, OUTCOME_FAILED, 5},
        {8, "cut", nullptr, nullptr, 0, true, 1, OUTCOME_DONE, 0},
        {9, "store", nullptr, nullptr, 0, true, 1, OUTCOME_FOUND, 0},
        {10, "quarantine", nullptr, nullptr, 0, true, 1, OUTCOME_FOUND, 0},
        {11, "move", nullptr, nullptr, 0, true, 1, OUTCOME_FOUND, 0},  // no destination: the file stays
        {12, nullptr, nullptr, nullptr, 0, true, 0, 0, 0},            // nothing asked of the file
    };
    for (const Row& r : rows) {
        Reset();
        FreeRunItems();
        g_fakeLastError = 5;
        g_settings.confirmation = r.answers ? 1 : 0;
        g_answers = r.answers ? r.answers : "";
        g_failingFileOps = r.failing;
        FakeUndoSaving::Install(r.saveAnswer);
        FileRecord* file = NewFile({});
        file->typeName = Dup("Virus");
        file->fileName = Dup("EVIL.EXE");
        file->size = 0x100;
        file->action->keyword = Dup(r.keyword);
        file->action->destination = Dup(r.destination);
        file->action->confirm = Dup(r.answers ? "Go?" : nullptr);
        ActOnFile(kPath, kShown, file, 0x100);
        FakeUndoSaving::Remove();
        int items = 0;
        for (ReportItem* i = g_runItems.items; i; i = i->next) ++items;
        ASSERT_EQ(r.items, items) << "row " << r.row;
        if (items) {
            const ReportItem* item = g_runItems.items;
            EXPECT_EQ(ITEM_FILE, item->kind) << "row " << r.row;
            EXPECT_STREQ(kPath, item->subject) << "row " << r.row;
            EXPECT_STREQ("FileName EVIL.EXE, Size 256", item->matched) << "row " << r.row;
            EXPECT_STREQ(r.keyword, item->action) << "row " << r.row;
            EXPECT_EQ(r.outcome, item->outcome) << "row " << r.row;
            EXPECT_EQ(r.error, item->error) << "row " << r.row;
        }
        FreeFileList(file);
    }
    g_fakeLastError = 0;
    FreeRunItems();
}

// A report-only run finds and counts as a real one, asks nothing, saves
// nothing, touches no file, and says in one line what it would have done.
TEST_F(ActOnFileTest, ReportOnlyTouchesNothingAndSaysWhatItWouldDo) {
    struct Row {
        int row;
        const char* keyword;
        const char* destination;
        int32_t threatType;
        const char* log;
        int found;
        int32_t outcome;
    } rows[] = {
        {1, "delete", nullptr, THREAT_VIRUS, "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\nWould delete file C:\\DIR\\EVIL.EXE\r\n",
         1, OUTCOME_WOULD},
        {2, "copy", "D:\\Q\\E.VIR", THREAT_VIRUS, "Would copy C:\\DIR\\EVIL.EXE to D:\\Q\\E.VIR\r\n", 0, OUTCOME_WOULD},
        {3, "move", "D:\\Q\\E.VIR", THREAT_VIRUS, "Would move C:\\DIR\\EVIL.EXE to D:\\Q\\E.VIR\r\n", 0, OUTCOME_WOULD},
        {4, "cut", nullptr, THREAT_VIRUS,
         "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\nWould disinfect file C:\\DIR\\EVIL.EXE by removing bytes 0 to 255\r\n",
         1, OUTCOME_WOULD},
        {5, "cut", nullptr, THREAT_TROJAN,
         "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\nWould modify file C:\\DIR\\EVIL.EXE by removing bytes 0 to 255\r\n",
         1, OUTCOME_WOULD},
        {6, "store", nullptr, THREAT_VIRUS, "", 0, OUTCOME_FOUND},
        {7, "quarantine", nullptr, THREAT_VIRUS, "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\n", 1, OUTCOME_FOUND},
    };
    for (const Row& r : rows) {
        Reset();
        FreeRunItems();
        g_settings.reportOnly = 1;
        g_threatType = r.threatType;
        FakeUndoSaving::Install(true);
        FileRecord* file = NewFile({});
        file->typeName = Dup("Virus");
        file->action->keyword = Dup(r.keyword);
        file->action->destination = Dup(r.destination);
        file->action->confirm = Dup("Really?");
        file->action->storeName = Dup("found");
        ActOnFile(kPath, kShown, file, 0x100);
        FakeUndoSaving::Remove();
        g_settings.reportOnly = 0;
        EXPECT_EQ(r.log, g_log) << "row " << r.row;
        EXPECT_EQ("", std::string(g_fileOpTrace)) << "row " << r.row;
        EXPECT_TRUE(FakeUndoSaving::Calls().empty()) << "row " << r.row;
        EXPECT_TRUE(g_questions.empty()) << "row " << r.row;
        EXPECT_EQ(r.found, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_FILES_DELETED] + g_counters[COUNT_FILES_CHANGED]) << "row " << r.row;
        EXPECT_EQ("single:EVIL.EXE", StoreText("found")) << "row " << r.row;  // the store step still runs
        ASSERT_TRUE(g_runItems.items) << "row " << r.row;
        EXPECT_EQ(r.outcome, g_runItems.items->outcome) << "row " << r.row;
        FreeFileList(file);
    }
    FreeRunItems();
}

// A file that could not be opened to be held is changed in no way: nothing
// is saved for undo, each operation on it fails, and the action says its
// own failure, counts nothing and reports the open's error. A copy, which
// changes nothing, still reads the path.
TEST_F(ActOnFileTest, FileThatCannotBeHeldFailsItsAction) {
    struct Row {
        int row;
        const char* keyword;
        const char* destination;
        const char* log;
        const char* trace;
        int found;
        int32_t outcome;
        uint32_t error;
    } rows[] = {
        {1, "delete", nullptr, "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\nFile deletion failed\r\n\r\n",
         "attributes C:\\DIR\\EVIL.EXE\ndelete C:\\DIR\\EVIL.EXE\n", 1, OUTCOME_FAILED, 32},
        {2, "cut", nullptr, "\r\n>>>Virus found in file C:\\DIR\\EVIL.EXE\r\nCould not disinfect file\r\n",
         "attributes C:\\DIR\\EVIL.EXE\ncut 0-100 C:\\DIR\\EVIL.EXE\n", 1, OUTCOME_FAILED, 0},
        {3, "move", "D:\\Q\\E.VIR", "Moving C:\\DIR\\EVIL.EXE to D:\\Q\\E.VIR\r\nCould not move file\r\n",
         "attributes C:\\DIR\\EVIL.EXE\nattributes D:\\Q\\E.VIR\nmove C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\n", 0,
         OUTCOME_FAILED, 32},
        {4, "copy", "D:\\Q\\E.VIR", "Copying C:\\DIR\\EVIL.EXE to D:\\Q\\E.VIR\r\n",
         "attributes C:\\DIR\\EVIL.EXE\ncopy C:\\DIR\\EVIL.EXE > D:\\Q\\E.VIR\n", 0, OUTCOME_DONE, 0},
    };
    for (const Row& r : rows) {
        g_fakeLastError = 32;
        ActWithoutQuestions("Virus", r.keyword, r.destination, 1u << FILE_OP_HOLD, true);
        EXPECT_EQ(r.log, g_log) << "row " << r.row;
        EXPECT_EQ(r.trace, std::string(g_fileOpTrace)) << "row " << r.row;
        EXPECT_TRUE(FakeUndoSaving::Calls().empty()) << "row " << r.row;
        EXPECT_EQ(r.found, g_counters[COUNT_FILES_FOUND]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_FILES_DELETED] + g_counters[COUNT_FILES_CHANGED]) << "row " << r.row;
        ASSERT_TRUE(g_runItems.items) << "row " << r.row;
        EXPECT_EQ(r.outcome, g_runItems.items->outcome) << "row " << r.row;
        EXPECT_EQ(r.error, g_runItems.items->error) << "row " << r.row;
    }
    g_fakeLastError = 0;
    FreeRunItems();
}

// What the restart test under Wine does not show: only a failure of a file
// in use waits for the restart, a schedule that fails leaves the failure as
// it was, and a copy never waits. The undo item is told what was scheduled.
TEST_F(ActOnFileTest, OnlyFilesInUseWaitForTheRestart) {
    const uint32_t kInUse = 1u << FILE_OP_IN_USE;
    struct Row {
        int row;
        const char* keyword;
        uint32_t failing;
        uint32_t error;
        const char* undoCalls;
        int32_t outcome;
    } rows[] = {
        {1, "delete", kFailDelete | kInUse, 33, "file 0 C:\\DIR\\EVIL.EXE\nscheduled C:\\DIR\\EVIL.EXE\n", OUTCOME_SCHEDULED},
        {2, "delete", kFailDelete | kInUse, 2, "file 0 C:\\DIR\\EVIL.EXE\nnot made\n", OUTCOME_FAILED},  // gone
        {3, "delete", kFailDelete | kInUse | (1u << FILE_OP_SCHEDULE), 32, "file 0 C:\\DIR\\EVIL.EXE\nnot made\n",
         OUTCOME_FAILED},
        {4, "copy", kFailCopy | kInUse, 32, "", OUTCOME_FAILED},
    };
    for (const Row& r : rows) {
        g_fakeLastError = r.error;
        ActWithoutQuestions(nullptr, r.keyword, strcmp(r.keyword, "copy") == 0 ? "D:\\Q\\E.VIR" : nullptr, r.failing,
                            true);
        std::string calls;
        for (const std::string& c : FakeUndoSaving::Calls()) calls += c + "\n";
        EXPECT_EQ(r.undoCalls, calls) << "row " << r.row;
        bool scheduled = r.outcome == OUTCOME_SCHEDULED;
        EXPECT_EQ(scheduled, g_log.find("File will be removed when Windows restarts\r\n") != std::string::npos)
            << "row " << r.row << g_log;
        EXPECT_EQ(scheduled ? 1 : 0, g_filesScheduled) << "row " << r.row;
        ASSERT_TRUE(g_runItems.items) << "row " << r.row;
        EXPECT_EQ(r.outcome, g_runItems.items->outcome) << "row " << r.row;
        EXPECT_EQ(r.error, g_runItems.items->error) << "row " << r.row;
    }
    g_fakeLastError = 0;
    FreeRunItems();
}

struct FoundRow {
    int row;
    const char* virusName;
    const char* typeName;
    const char* expected;
};

const FoundRow kFoundMessages[] = {
    {1, "W32.Evil", "Worm", "\r\n>>>Worm 'W32.Evil' found in file C:\\DIR\\EVIL.EXE\r\n"},
    {2, "", "Trojan", "\r\n>>>Trojan found in file C:\\DIR\\EVIL.EXE\r\n"},
    {3, nullptr, "Application", "\r\n>>>Application found in file C:\\DIR\\EVIL.EXE\r\n"},
    {4, "100%s", "Virus", "\r\n>>>Virus '100%s' found in file C:\\DIR\\EVIL.EXE\r\n"},
};

TEST_F(ActOnFileTest, FoundMessageNamesTheVariantOnlyWhenThereIsOne) {
    for (const FoundRow& r : kFoundMessages) {
        Reset();
        FileRecord* file = NewFile({});
        file->virusName = Dup(r.virusName);
        file->typeName = Dup(r.typeName);
        file->action->keyword = Dup("unknown");
        ActOnFile(kPath, kShown, file, 0x100);
        EXPECT_EQ(r.expected, g_log) << "row " << r.row;
        FreeFileList(file);
    }
}

struct StoreFlowRow {
    int row;
    const char* keyword;
    uint32_t flags;
    const char* answers;
    const char* store;  // after two files, C:\DIR\EVIL.EXE.TXT then D:\X\TWO.DLL
    const char* trace;
};

const StoreFlowRow kStoreFlows[] = {
    {1, "store", STORE_LIST | STORE_NO_EXT, "", "list:TWO,EVIL",
     "attributes C:\\DIR\\EVIL.EXE.TXT\nattributes D:\\X\\TWO.DLL\n"},
    {2, "store", 0, "", "single:TWO.DLL", "attributes C:\\DIR\\EVIL.EXE.TXT\nattributes D:\\X\\TWO.DLL\n"},
    {3, "delete", STORE_NO_EXT, "", "single:TWO",
     "attributes C:\\DIR\\EVIL.EXE.TXT\ndelete C:\\DIR\\EVIL.EXE.TXT\nattributes D:\\X\\TWO.DLL\ndelete D:\\X\\TWO.DLL\n"},
    {4, "delete", STORE_LIST | STORE_FULL_PATH, "NN", "list:D:\\X\\TWO.DLL,C:\\DIR\\EVIL.EXE.TXT", ""},
    {5, nullptr, STORE_LIST, "", "list:TWO.DLL,EVIL.EXE.TXT", ""},
};

TEST_F(ActOnFileTest, StoreStepComesFirstWhateverFollows) {
    for (const StoreFlowRow& r : kStoreFlows) {
        Reset();
        g_answers = r.answers;
        FileRecord* file = NewFile({});
        file->action->keyword = Dup(r.keyword);
        file->action->storeName = Dup("%found%");
        file->action->storeFlags = r.flags;
        if (*r.answers) file->action->confirm = Dup("Go?");
        ActOnFile("C:\\DIR\\EVIL.EXE.TXT", "C:\\DIR\\EVIL.EXE.TXT", file, 1);
        ActOnFile("D:\\X\\TWO.DLL", "D:\\X\\TWO.DLL", file, 1);
        EXPECT_EQ(r.store, StoreText("%found%")) << "row " << r.row;
        EXPECT_EQ(r.trace, std::string(g_fileOpTrace)) << "row " << r.row;
        FreeFileList(file);
    }
}

struct InfectedRow {
    int row;
    int32_t setInfected;
    const char* keyword;
    const char* answers;
    int32_t expected;
};

const InfectedRow kInfected[] = {
    {1, 1, "delete", "", 1},
    {2, 0, "delete", "", 0},
    {3, 1, "delete", "N", 1},  // marked before the question
    {4, 1, nullptr, "", 1},
    {5, 1, "copy", "", 1},
};

TEST_F(ActOnFileTest, SetInfectedMarksTheRunBeforeTheQuestion) {
    for (const InfectedRow& r : kInfected) {
        Reset();
        g_answers = r.answers;
        FileRecord* file = NewFile({});
        file->action->keyword = Dup(r.keyword);
        file->action->setInfected = r.setInfected;
        if (*r.answers) file->action->confirm = Dup("Go?");
        ActOnFile(kPath, kShown, file, 1);
        EXPECT_EQ(r.expected, g_infected) << "row " << r.row;
        FreeFileList(file);
    }
}

}  // namespace
