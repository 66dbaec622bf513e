// The memory records and matching without Windows: MEMORY, PROCESS and
// THREAD elements through the script harness, and the match, search and
// patch logic over a process image held in this program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "memory/process_items.h"
#include "memory/process_match.h"
#include "memory/process_memory.h"
#include "memory/process_record.h"
#include "memory/resume_list.h"
#include "memory/thread_message.h"
#include "report/counters.h"
#include "report/folder_macro.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/cleaning.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "script/settings.h"
#include "script_harness.h"

namespace {

// A process image: regions of bytes at addresses. A read must lie wholly in
// one region, as a committed range of another process would.
struct Region {
    uint64_t base;
    std::vector<unsigned char> bytes;
};
struct FakeProcess {
    std::vector<Region> regions;
    std::vector<std::pair<uint64_t, std::vector<unsigned char>>> writes;
    uint64_t functionAddress = 0;  // 0: no such function
};

Region* RegionOf(FakeProcess* p, uint64_t address, size_t size) {
    for (Region& r : p->regions)
        if (address >= r.base && address + size <= r.base + r.bytes.size()) return &r;
    return nullptr;
}
bool FakeRead(void* h, uint64_t address, void* buffer, size_t size) {
    Region* r = RegionOf(static_cast<FakeProcess*>(h), address, size);
    if (!r) return false;
    memcpy(buffer, r->bytes.data() + (address - r->base), size);
    return true;
}
bool FakeWrite(void* h, uint64_t address, const void* bytes, size_t size) {
    FakeProcess* p = static_cast<FakeProcess*>(h);
    Region* r = RegionOf(p, address, size);
    if (!r) return false;
    memcpy(r->bytes.data() + (address - r->base), bytes, size);
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    p->writes.push_back({address, std::vector<unsigned char>(b, b + size)});
    return true;
}
bool FakeRegionEnd(void* h, uint64_t address, uint64_t* end) {
    Region* r = RegionOf(static_cast<FakeProcess*>(h), address, 1);
    if (!r) return false;
    *end = r->base + r->bytes.size();
    return true;
}
bool FakeFunction(void* h, const char*, const char*, uint64_t* address) {
    FakeProcess* p = static_cast<FakeProcess*>(h);
    *address = p->functionAddress;
    return p->functionAddress != 0;
}

const uint64_t kBase = 0x400000;

// An image at kBase: PE headers with entry point 0x1234 and image size
// 0x3000, then bytes that differ from place to place; and a second region
// right after it.
FakeProcess Image() {
    FakeProcess p;
    Region image{kBase, std::vector<unsigned char>(0x3000)};
    for (size_t i = 0; i < image.bytes.size(); ++i) image.bytes[i] = static_cast<unsigned char>(i * 7 + i / 253);
    unsigned char* b = image.bytes.data();
    b[0] = 'M';
    b[1] = 'Z';
    uint32_t nt = 0x80;
    memcpy(b + 0x3C, &nt, 4);
    memcpy(b + nt, "PE\0\0", 4);
    uint32_t entry = 0x1234, size = 0x3000;
    memcpy(b + nt + 0x28, &entry, 4);
    memcpy(b + nt + 0x50, &size, 4);
    p.regions.push_back(image);
    p.regions.push_back(Region{kBase + 0x3000, std::vector<unsigned char>(0x1000, 0xEE)});
    return p;
}

ProcessMemory MemoryOf(FakeProcess* p, uint32_t addressSize = 4) {
    return ProcessMemory{p, FakeRead, FakeWrite, FakeRegionEnd, FakeFunction, addressSize};
}

PatternRecord* Pattern(FakeProcess& p, uint64_t copyFrom, uint32_t count, int32_t origin, int32_t offset,
                       bool forwards = false, uint32_t length = PATTERN_NO_LIMIT) {
    PatternRecord* r = NewPatternRecord();
    r->origin = origin;
    r->offset = offset;
    r->forwards = forwards;
    r->length = length;
    r->count = count;
    FakeRead(&p, copyFrom, r->bytes, count);
    return r;
}

// ------------------------------------------------------------ matching

TEST(ProcessMatch, PatternsAtTheirOrigins) {
    FakeProcess p = Image();
    ProcessMemory m = MemoryOf(&p);
    struct Row {
        int row;
        uint64_t bytesAt;   // where the pattern's bytes are copied from
        uint32_t count;
        int32_t origin;
        int32_t offset;
        bool forwards;
        uint32_t length;
        bool matches;
        uint64_t foundAt;  // forward finds only
    } rows[] = {
        {1, kBase + 0x200, 8, ORIGIN_START, 0x200, false, PATTERN_NO_LIMIT, true, 0},
        {2, kBase + 0x201, 8, ORIGIN_START, 0x200, false, PATTERN_NO_LIMIT, false, 0},
        {3, kBase + 0x1234, 6, ORIGIN_ENTRY_POINT, 0, false, PATTERN_NO_LIMIT, true, 0},
        {4, kBase + 0x1230, 6, ORIGIN_ENTRY_POINT, -4, false, PATTERN_NO_LIMIT, true, 0},
        {5, kBase + 0x2FF0, 16, ORIGIN_END, -0x10, false, PATTERN_NO_LIMIT, true, 0},
        // A PATTERN origin counts from the module base in a process.
        {6, kBase + 0x10, 4, ORIGIN_PATTERN + 1, 0x10, false, PATTERN_NO_LIMIT, true, 0},
        // Forwards: length 0x10 tries positions 0 to 0xF.
        {7, kBase + 0x50F, 4, ORIGIN_START, 0x500, true, 0x10, true, kBase + 0x50F},
        {8, kBase + 0x510, 4, ORIGIN_START, 0x500, true, 0x10, false, 0},
        {9, kBase + 0x500, 4, ORIGIN_START, 0x500, true, 0, false, 0},
        {10, kBase + 0x500, 4, ORIGIN_START, 0x500, true, 1, true, kBase + 0x500},
        // No search without a limit.
        {11, kBase + 0x600, 4, ORIGIN_START, 0x500, true, PATTERN_NO_LIMIT, false, 0},
        // The window stops at the end of the region: bytes of the next
        // region are never reached, and the last place is not tried.
        {12, kBase + 0x2FF8, 8, ORIGIN_START, 0x2F00, true, 0x1000, false, 0},
        {13, kBase + 0x2FF7, 8, ORIGIN_START, 0x2F00, true, 0x1000, true, kBase + 0x2FF7},
        // Exact bytes across two regions cannot be read.
        {14, kBase + 0x2FFC, 8, ORIGIN_START, 0x2FFC, false, PATTERN_NO_LIMIT, false, 0},
        {15, kBase, 0, ORIGIN_START, 0x7FFFFFF, false, PATTERN_NO_LIMIT, true, 0},
    };
    for (const Row& r : rows) {
        PatternRecord* pattern = Pattern(p, r.bytesAt, r.count, r.origin, r.offset, r.forwards, r.length);
        if (r.row == 14) memset(pattern->bytes, 0xEE, 8);
        EXPECT_EQ(r.matches, MatchPatternInProcess(&m, kBase, pattern)) << "row " << r.row;
        EXPECT_EQ(r.foundAt, pattern->foundAddress) << "row " << r.row;
        FreePatternList(pattern);
    }
}

TEST(ProcessMatch, HeaderOriginsNeedAPortableExecutable) {
    FakeProcess p = Image();
    ProcessMemory m = MemoryOf(&p);
    p.regions[0].bytes[0x81] = 'X';  // "PX"
    PatternRecord* pattern = Pattern(p, kBase + 0x1234, 4, ORIGIN_ENTRY_POINT, 0);
    EXPECT_FALSE(MatchPatternInProcess(&m, kBase, pattern));
    uint64_t value = 0;
    EXPECT_FALSE(ReadImageValue(&m, kBase, ORIGIN_END, &value));
    EXPECT_FALSE(ReadImageValue(&m, 0x10000, ORIGIN_END, &value));  // nothing there
    FreePatternList(pattern);
}

// ------------------------------------------------------------ CheckModule

ProcessRecord* Record(const char* processName, const char* keyword, bool isProcess = true) {
    ProcessRecord* r = static_cast<ProcessRecord*>(calloc(1, sizeof(ProcessRecord)));
    r->isProcess = isProcess;
    if (processName) r->processName = strdup(processName);
    if (keyword) {
        r->action = NewActionRecord();
        r->action->keyword = strdup(keyword);
    }
    return r;
}

class CheckModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetCounters();
        g_actionsPending = 0;
        g_infected = 0;
        p = Image();
        m = MemoryOf(&p);
    }
    void TearDown() override { g_actionsPending = 0; }
    FakeProcess p;
    ProcessMemory m;
};

TEST_F(CheckModuleTest, NameTestAndWhatAMatchSets) {
    struct Row {
        int row;
        const char* processName;
        const char* keyword;
        bool isProcess;
        bool matches;
        int32_t pending;
    } rows[] = {
        {1, "EVIL.EXE", "kill", true, true, 1},
        {2, "C:\\dir\\evil.exe", "kill", true, false, 0},
        {3, nullptr, "forcekill", true, true, 1},
        {4, "evil.exe", "PostThreadMessage", true, true, 1},
        {5, "evil.exe", "restart", true, true, 0},
        {6, "evil.exe", "suspend", true, true, 0},
        {7, "evil.exe", nullptr, true, true, 0},
        {8, "evil.exe", "kill", false, true, 0},  // a THREAD
        {9, "other.exe", "kill", true, false, 0},
    };
    for (const Row& r : rows) {
        g_actionsPending = 0;
        ProcessRecord* record = Record(r.processName, r.keyword, r.isProcess);
        EXPECT_EQ(r.matches, CheckModule(77, &m, kBase, "evil.exe", "C:\\dir\\evil.exe", record)) << "row " << r.row;
        EXPECT_EQ(r.pending, g_actionsPending) << "row " << r.row;
        ASSERT_EQ(r.matches, record->found != nullptr) << "row " << r.row;
        if (record->found) {
            EXPECT_STREQ("evil.exe", record->found->moduleName);
            EXPECT_STREQ("C:\\dir\\evil.exe", record->found->executablePath);
            EXPECT_EQ(77u, record->found->processId);
        }
        FreeProcessList(record);
    }
}

// path narrows the name to one folder: the whole path, any letter case, for
// PROCESS and THREAD alike.
TEST_F(CheckModuleTest, PathMustEqualTheExecutablesPath) {
    struct Row {
        int row;
        const char* processName;
        const char* path;
        bool isProcess;
        bool matches;
    } rows[] = {
        {1, "evil.exe", "c:\\DIR\\EVIL.exe", true, true},
        {2, "evil.exe", "C:\\WINDOWS\\evil.exe", true, false},
        {3, nullptr, "C:\\dir\\evil.exe", false, true},
        {4, nullptr, "C:\\dir\\evil", true, false},
        {5, "other.exe", "C:\\dir\\evil.exe", true, false},
    };
    for (const Row& r : rows) {
        ProcessRecord* record = Record(r.processName, "kill", r.isProcess);
        record->processPath = strdup(r.path);
        EXPECT_EQ(r.matches, CheckModule(7, &m, kBase, "evil.exe", "C:\\dir\\evil.exe", record)) << "row " << r.row;
        EXPECT_EQ(r.matches, record->found != nullptr) << "row " << r.row;
        FreeProcessList(record);
    }
}

TEST_F(CheckModuleTest, ThreadRecordsAreMatchedByNameAloneAndFoundListsHoldTheNewestFirst) {
    ProcessRecord* thread = Record("evil.exe", "kill", false);
    thread->patterns = Pattern(p, kBase + 0x201, 4, ORIGIN_START, 0x200);  // would not match
    EXPECT_TRUE(CheckModule(1, &m, kBase, "evil.exe", "a", thread));
    EXPECT_TRUE(CheckModule(2, &m, kBase, "EVIL.exe", "b", thread));
    ASSERT_TRUE(thread->found && thread->found->next);
    EXPECT_EQ(2u, thread->found->processId);
    EXPECT_EQ(1u, thread->found->next->processId);
    FreeProcessList(thread);

    ProcessRecord* process = Record(nullptr, "kill");
    process->patterns = Pattern(p, kBase + 0x201, 4, ORIGIN_START, 0x200);
    EXPECT_FALSE(CheckModule(1, &m, kBase, "evil.exe", "a", process));
    EXPECT_EQ(0, g_actionsPending);
    FreeProcessList(process);
}

TEST_F(CheckModuleTest, WritePatchesAtOnceAndCountsWithoutAFoundEntry) {
    ProcessRecord* record = Record("evil.exe", "write");
    record->action->setInfected = 1;
    PatchRecord* patch = NewPatternRecord();
    patch->offset = 0x100;
    patch->count = 2;
    patch->bytes[0] = 0x90;
    patch->bytes[1] = 0xC3;
    record->action->patches = patch;
    EXPECT_TRUE(CheckModule(5, &m, kBase, "evil.exe", "p", record));
    EXPECT_EQ(nullptr, record->found);
    EXPECT_EQ(1, g_counters[COUNT_PROCESSES_FOUND]);
    EXPECT_EQ(1, g_counters[COUNT_PROCESSES_TERMINATED]);
    EXPECT_EQ(1, g_actionsPending);
    EXPECT_EQ(1, g_infected);
    EXPECT_EQ(0x90, p.regions[0].bytes[0x100]);
    EXPECT_EQ(0xC3, p.regions[0].bytes[0x101]);
    FreeProcessList(record);
}

// ------------------------------------------------------------ patches

TEST_F(CheckModuleTest, PatchTargetsAndTheFirstFailureStopsTheRest) {
    struct Row {
        int row;
        int32_t origin;
        int32_t offset;
        bool function;
        uint32_t addressSize;
        bool succeeds;
        std::vector<uint64_t> writtenAt;  // in order, the marker patch last
        size_t firstSize;
    } rows[] = {
        {1, ORIGIN_START, 0x10, false, 4, true, {kBase + 0x10, kBase + 0x20}, 2},
        {2, ORIGIN_ENTRY_POINT, 2, false, 4, true, {kBase + 0x1236, kBase + 0x20}, 2},
        {3, ORIGIN_END, -4, false, 4, true, {kBase + 0x2FFC, kBase + 0x20}, 2},
        // PATTERN 0 was found by its forward search at kBase + 0x50F.
        {4, ORIGIN_PATTERN, 1, false, 4, true, {kBase + 0x510, kBase + 0x20}, 2},
        // PATTERN 1 is exact: no address to patch at; nothing after it.
        {5, ORIGIN_PATTERN + 1, 0, false, 4, false, {}, 0},
        {6, ORIGIN_PATTERN + 5, 0, false, 4, false, {}, 0},
        // A function's address, at the process's address width.
        {7, ORIGIN_START, 0x30, true, 4, true, {kBase + 0x30, kBase + 0x20}, 4},
        {8, ORIGIN_START, 0x30, true, 8, true, {kBase + 0x30, kBase + 0x20}, 8},
        // Outside anything mapped: the write fails.
        {9, ORIGIN_START, 0x7000, false, 4, false, {}, 0},
    };
    for (const Row& r : rows) {
        p = Image();
        p.functionAddress = 0x1122334455667788ull;
        m = MemoryOf(&p, r.addressSize);
        ProcessRecord* record = Record("evil.exe", "write");
        record->patterns = Pattern(p, kBase + 0x50F, 4, ORIGIN_START, 0x500, true, 0x10);
        record->patterns->next = Pattern(p, kBase + 0x600, 4, ORIGIN_START, 0x600);
        ASSERT_TRUE(MatchPatternInProcess(&m, kBase, record->patterns));
        ASSERT_TRUE(MatchPatternInProcess(&m, kBase, record->patterns->next));
        PatchRecord* first = NewPatternRecord();
        first->origin = r.origin;
        first->offset = r.offset;
        if (r.function) {
            first->function = strdup("Fn");
            first->dll = strdup("lib.dll");
        } else {
            first->count = 2;
        }
        PatchRecord* second = NewPatternRecord();
        second->offset = 0x20;
        second->count = 1;
        first->next = second;
        record->action->patches = first;
        EXPECT_EQ(r.succeeds, PatchProcessMemory(record, &m, kBase)) << "row " << r.row;
        ASSERT_EQ(r.writtenAt.size(), p.writes.size()) << "row " << r.row;
        for (size_t i = 0; i < p.writes.size(); ++i) EXPECT_EQ(r.writtenAt[i], p.writes[i].first) << "row " << r.row;
        if (!p.writes.empty()) EXPECT_EQ(r.firstSize, p.writes[0].second.size()) << "row " << r.row;
        if (r.function) EXPECT_EQ(0x88, p.writes[0].second[0]) << "row " << r.row;
        FreeProcessList(record);
    }
}

TEST_F(CheckModuleTest, APatchWhoseFunctionCannotBeFoundIsSkipped) {
    ProcessRecord* record = Record("evil.exe", "write");
    PatchRecord* missing = NewPatternRecord();
    missing->function = strdup("Absent");  // no dll either
    PatchRecord* unknown = NewPatternRecord();
    unknown->function = strdup("Absent");
    unknown->dll = strdup("lib.dll");
    PatchRecord* bytes = NewPatternRecord();
    bytes->offset = 8;
    bytes->count = 1;
    missing->next = unknown;
    unknown->next = bytes;
    record->action->patches = missing;
    EXPECT_TRUE(PatchProcessMemory(record, &m, kBase));
    ASSERT_EQ(1u, p.writes.size());
    EXPECT_EQ(kBase + 8, p.writes[0].first);
    FreeProcessList(record);
}

// ------------------------------------------------------------ run report

std::string g_logged;
void LogRecorder(OutHandle, const char* bytes, size_t count) { g_logged.append(bytes, count); }

// "write" leaves one process item: what the patch came to in a real run
// (with the write's error code when it failed), and in a report-only run
// the patch is not made, only found is counted, and one line says what
// would have been written.
TEST_F(CheckModuleTest, WriteLeavesOneItemAndChangesNothingInAReportOnlyRun) {
    struct Row {
        int row;
        bool reportOnly;
        int32_t offset;  // of the patch; beyond the image it cannot be written
        int32_t outcome;
        uint32_t error;
        int terminated;
        bool written;
    } rows[] = {
        {1, true, 0x100, OUTCOME_WOULD, 0, 0, false},
        {2, false, 0x100, OUTCOME_DONE, 0, 1, true},
        {3, false, 0x10000, OUTCOME_FAILED, 299, 0, false},
        // A report-only run does not try, so it has no failure to tell.
        {4, true, 0x10000, OUTCOME_WOULD, 0, 0, false},
    };
    static const MessageSinks sinks = {LogRecorder, nullptr, nullptr, nullptr, nullptr};
    ReportState saved = g_report;
    g_report = ReportState{reinterpret_cast<OutHandle>(1), 0, nullptr, SWITCH_DEFAULT_MESSAGES, &sinks};
    for (const Row& r : rows) {
        ResetCounters();
        FreeRunItems();
        g_logged.clear();
        g_actionsPending = 0;
        g_settings.reportOnly = r.reportOnly;
        g_fakeLastError = 299;  // ERROR_PARTIAL_COPY, as a failed WriteProcessMemory gives
        p = Image();
        ProcessRecord* record = Record("evil.exe", "write");
        PatchRecord* patch = NewPatternRecord();
        patch->offset = r.offset;
        patch->count = 1;
        patch->bytes[0] = 0x90;
        record->action->patches = patch;
        EXPECT_TRUE(CheckModule(42, &m, kBase, "evil.exe", "C:\\evil.exe", record)) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_PROCESSES_FOUND]) << "row " << r.row;
        EXPECT_EQ(r.terminated, g_counters[COUNT_PROCESSES_TERMINATED]) << "row " << r.row;
        EXPECT_EQ(1, g_actionsPending) << "row " << r.row;
        EXPECT_EQ(r.written, !p.writes.empty()) << "row " << r.row;
        EXPECT_EQ(r.reportOnly ? "Would patch the memory of process evil.exe (process ID 42)\r\n" : "", g_logged)
            << "row " << r.row;
        const ReportItem* item = g_runItems.items;
        ASSERT_TRUE(item != nullptr) << "row " << r.row;
        EXPECT_EQ(nullptr, item->next) << "row " << r.row;
        EXPECT_EQ(ITEM_PROCESS, item->kind);
        EXPECT_STREQ("evil.exe", item->subject);
        EXPECT_STREQ("evil.exe", item->matched);
        EXPECT_STREQ("write", item->action);
        EXPECT_EQ(r.outcome, item->outcome) << "row " << r.row;
        EXPECT_EQ(r.error, item->error) << "row " << r.row;
        EXPECT_EQ(42u, item->processId);
        FreeProcessList(record);
    }
    g_settings.reportOnly = 0;
    g_fakeLastError = 0;
    FreeRunItems();
    g_report = saved;
}

TEST(ProcessItems, WhatARecordAskedFor) {
    struct Row {
        int row;
        const char* processName;
        const char* library;
        const char* text;
        const char* path;
    } rows[] = {
        {1, "evil.exe", nullptr, "evil.exe", nullptr},
        {2, "evil.exe", "hook.dll", "evil.exe (dll hook.dll)", nullptr},
        {3, nullptr, "hook.dll", "any process (dll hook.dll)", nullptr},
        {4, nullptr, nullptr, "any process", nullptr},
        {5, "evil.exe", "hook.dll", "evil.exe (path C:\\W\\evil.exe) (dll hook.dll)", "C:\\W\\evil.exe"},
        {6, nullptr, nullptr, "C:\\W\\evil.exe", "C:\\W\\evil.exe"},
    };
    for (const Row& r : rows) {
        ProcessRecord* record = Record(r.processName, "kill");
        if (r.path) record->processPath = strdup(r.path);
        if (r.library) {
            record->library = static_cast<LibraryRef*>(calloc(1, sizeof(LibraryRef)));
            record->library->name = strdup(r.library);
        }
        char* text = RecordMatchText(record);
        EXPECT_STREQ(r.text, text) << "row " << r.row;
        free(text);
        FreeProcessList(record);
    }
    FreeRunItems();
    RecordProcessNotExamined(1234, "could not be opened", 5);
    ASSERT_TRUE(g_runItems.notExamined != nullptr);
    EXPECT_STREQ("process ID 1234", g_runItems.notExamined->subject);
    EXPECT_STREQ("could not be opened", g_runItems.notExamined->action);
    EXPECT_EQ(5u, g_runItems.notExamined->error);
    EXPECT_EQ(1234u, g_runItems.notExamined->processId);
    EXPECT_EQ(ITEM_PROCESS, g_runItems.notExamined->kind);
    FreeRunItems();
}

// ------------------------------------------------------------ resume list

void AddEntry(ProcessRecord* record, uint32_t id) {
    FoundProcess* f = static_cast<FoundProcess*>(calloc(1, sizeof(FoundProcess)));
    f->moduleName = strdup("m.exe");
    f->executablePath = strdup("C:\\m.exe");
    f->processId = id;
    f->next = record->found;
    record->found = f;
}

std::vector<uint32_t> ListOf(const ParseContext& context) {
    std::vector<uint32_t> ids;
    for (const uint32_t* id = context.suspendedProcesses; id && *id; ++id) ids.push_back(*id);
    return ids;
}

// Only "suspendandresume" PROCESS entries that were suspended are listed,
// in list order; one process matched by two records is listed twice; a
// second MEMORY element's list joins the first.
TEST(ResumeList, ListsTheProcessesToResume) {
    ProcessRecord* keep = Record("a.exe", "suspend");
    AddEntry(keep, 11);
    ProcessRecord* twice = Record("b.exe", "suspendandresume");
    AddEntry(twice, 22);
    AddEntry(twice, 0);  // its suspension failed
    AddEntry(twice, 33);
    ProcessRecord* again = Record("b.exe", "suspendandresume");
    AddEntry(again, 33);
    ProcessRecord* thread = Record("b.exe", "suspendandresume", false);
    AddEntry(thread, 44);
    keep->next = twice;
    twice->next = again;
    again->next = thread;
    ParseContext context = {};
    ASSERT_TRUE(BuildResumeList(&context, keep, 5));
    EXPECT_EQ((std::vector<uint32_t>{33, 22, 33}), ListOf(context));
    ASSERT_TRUE(BuildResumeList(&context, again, 1));
    EXPECT_EQ((std::vector<uint32_t>{33, 22, 33, 33}), ListOf(context));
    free(context.suspendedProcesses);
    FreeProcessList(keep);
}

// Each listed process keeps the creation time it was matched with, across
// a join; an entry whose ID a pass found taken over is not listed. The
// CheckModule stamp is what the entry keeps.
TEST(ResumeList, KeepsEachCreationTimeAndLeavesTakenOverEntriesOut) {
    ProcessRecord* first = Record("b.exe", "suspendandresume");
    ProcessStamp stamps[] = {{0x1D0000000000011ull, 0}, {0, 0}, {0x1D0000000000033ull, 1}};
    FakeProcess fake;
    fake.regions.push_back({0x400000, std::vector<unsigned char>(16)});
    ProcessMemory memory = MemoryOf(&fake);
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(CheckModule(11 * (i + 1), &memory, 0x400000, "b.exe", "C:\\b.exe", first, &stamps[i]));
    EXPECT_EQ(1, first->found->stamp.otherAccount);
    first->found->next->takenOver = 1;  // 22
    ParseContext context = {};
    ASSERT_TRUE(BuildResumeList(&context, first, 3));
    ProcessRecord* second = Record("b.exe", "suspendandresume");
    AddEntry(second, 44);
    second->found->stamp.creationTime = 0x1D0000000000044ull;
    ASSERT_TRUE(BuildResumeList(&context, second, 1));
    EXPECT_EQ((std::vector<uint32_t>{33, 11, 44}), ListOf(context));
    const uint64_t* times = ResumeListTimes(context.suspendedProcesses);
    EXPECT_EQ((std::vector<uint64_t>{0x1D0000000000033ull, 0x1D0000000000011ull, 0x1D0000000000044ull}),
              std::vector<uint64_t>(times, times + 3));
    free(context.suspendedProcesses);
    FreeProcessList(first);
    FreeProcessList(second);
}

// ------------------------------------------------------------ parameters

TEST(ThreadMessageParameters, UpToThreeHexNumbers) {
    struct Row {
        int row;
        const char* text;
        uint32_t message, wParam, lParam;
    } rows[] = {
        {1, "10,0,0", 0x10, 0, 0}, {2, "12", 0x12, 0, 0},         {3, "x,1,2", 0, 0, 0},
        {4, nullptr, 0, 0, 0},     {5, "4A1,12,34", 0x4A1, 0x12, 0x34}, {6, "A, B", 0xA, 0, 0},
        {7, "1,2,3,4", 1, 2, 3},   {8, "FFFFFFFF1,2", 0xFFFFFFFF, 2, 0},
    };
    for (const Row& r : rows) {
        ThreadMessage m = ParseThreadMessage(r.text);
        EXPECT_EQ(r.message, m.message) << "row " << r.row;
        EXPECT_EQ(r.wParam, m.wParam) << "row " << r.row;
        EXPECT_EQ(r.lParam, m.lParam) << "row " << r.row;
    }
}

// ------------------------------------------------------------ elements

struct SeenRecord {
    std::string virus, process, path, type, action, library;
    bool isProcess;
    int patterns, patches;
};
std::vector<std::vector<SeenRecord>> g_passes;

std::string Text(const char* t) { return t ? t : "<none>"; }

void RecordPass(ParseContext*, ProcessRecord* records) {
    std::vector<SeenRecord> seen;
    for (ProcessRecord* r = records; r; r = r->next) {
        SeenRecord s{Text(r->virusName), Text(r->processName), Text(r->processPath), Text(r->typeName), "<none>",
                     r->library ? Text(r->library->name) : "<none>", r->isProcess != 0, 0, 0};
        if (r->action) {
            s.action = Text(r->action->keyword);
            for (PatchRecord* p = r->action->patches; p; p = p->next) ++s.patches;
        }
        for (PatternRecord* p = r->patterns; p; p = p->next) ++s.patterns;
        seen.push_back(s);
    }
    g_passes.push_back(seen);
}

// Members this test does not use stay null, however many the table grows.
CleaningWork RecordingWork() {
    CleaningWork work = {};
    work.scanMemory = RecordPass;
    return work;
}
const CleaningWork kRecordingWork = RecordingWork();

std::string Script(const std::string& body, const char* type = "Trojan") {
    return std::string("<CLEANER DataFile=\"F\" Type=\"") + type + "\"><IDENTITY GenericName=\"Gen\">" + body +
           "</IDENTITY></CLEANER>";
}

class MemoryElement : public ::testing::Test {
  protected:
    void SetUp() override {
        g_passes.clear();
        g_cleaning = &kRecordingWork;
    }
    void TearDown() override { g_cleaning = nullptr; }
};

TEST_F(MemoryElement, RecordsInReverseDocumentOrderWithTheirDefaults) {
    ScriptRun r = RunScript(Script(
        "<MEMORY>"
        "<PROCESS ProcessName=\"a.exe\" VirusName=\"V\" TypeName=\"T\" dll=\"C:\\x\\lib.dll\">"
        "<PATTERN>01</PATTERN><PATTERN>02</PATTERN><ACTION>kill<PATCH>03</PATCH></ACTION><PATTERN>04</PATTERN>"
        "</PROCESS>"
        "<THREAD os=\"WINNT\" path=\"system\\t.exe\"><ACTION>suspend</ACTION></THREAD>"
        "</MEMORY>"));
    ASSERT_EQ(1u, g_passes.size()) << r.record.log;
    ASSERT_EQ(2u, g_passes[0].size());
    const SeenRecord& thread = g_passes[0][0];
    EXPECT_FALSE(thread.isProcess);
    EXPECT_EQ("Gen", thread.virus);
    EXPECT_EQ("Trojan", thread.type);
    EXPECT_EQ("<none>", thread.process);
    EXPECT_EQ(std::string(kStandInDefaults[FOLDER_SYSTEM]) + "\\t.exe", thread.path);
    EXPECT_EQ("suspend", thread.action);
    const SeenRecord& process = g_passes[0][1];
    EXPECT_TRUE(process.isProcess);
    EXPECT_EQ("V", process.virus);
    EXPECT_EQ("T", process.type);
    EXPECT_EQ("a.exe", process.process);
    EXPECT_EQ("<none>", process.path);
    EXPECT_EQ("C:\\x\\lib.dll", process.library);  // no store: the whole text
    EXPECT_EQ(2, process.patterns);
    EXPECT_EQ(2, process.patches);  // the PATTERN after the ACTION is a patch
    EXPECT_NE(std::string::npos, r.record.log.find("\r\nChecking for Gen in memory\r\n")) << r.record.log;
    EXPECT_TRUE(r.context.flags & RUN_DID_PROCESSES);
    EXPECT_FALSE(r.context.flags & RUN_IN_MEMORY);
}

TEST_F(MemoryElement, AttributesOutsideTheListAreDataErrors) {
    struct Row {
        int row;
        const char* attributes;
    } rows[] = {{1, "confirm=\"Sure?\""}, {2, "Infected=\"false\""}, {3, "processname=\"a.exe\""}};
    for (const Row& row : rows) {
        g_passes.clear();
        ScriptRun r = RunScript(Script(std::string("<MEMORY><PROCESS ") + row.attributes + "/></MEMORY>"));
        EXPECT_TRUE(r.context.flags & RUN_SKIP) << "row " << row.row;
        EXPECT_TRUE(g_passes.empty()) << "row " << row.row;
        EXPECT_EQ(std::string::npos, r.record.log.find("in memory")) << "row " << row.row;
    }
}

TEST_F(MemoryElement, AnEmptyMemoryStillReportsAndShowsTheProcessLines) {
    ScriptRun r = RunScript(Script("<MEMORY></MEMORY>", "Application"));
    ASSERT_EQ(1u, g_passes.size());
    EXPECT_TRUE(g_passes[0].empty());
    EXPECT_TRUE(r.context.flags & RUN_DID_PROCESSES);
}

}  // namespace
