// SERVICE and RemoveService against a service control manager kept in
// memory: stopping with its bounded wait, deleting, what is said and counted.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "report/counters.h"
#include "script/cleaning.h"
#include "script_harness.h"
#include "system/service_calls.h"
#include "system/service_element.h"
#include "system/service_removal.h"
#include "fake_undo_saving.h"
#include "recorded_items.h"
#include "script/settings.h"

namespace {

struct FakeService {
    bool installed = true;
    uint32_t openError = 0;          // a reason to refuse opening
    bool running = false;
    int pendingQueries = 0;          // queries answering stop-pending; -1: forever
    bool queryFails = false;
    bool deleteFails = false;
};

FakeService g_service;
bool g_managerFails;
int g_sleeps, g_queries, g_opens, g_closes, g_stops;
const uint32_t kRemoveError = 1072;  // what a failed removal leaves as the last error
std::vector<std::string> g_deleted;
std::string g_lastName;

ServiceHandle OpenManager() {
    if (g_managerFails) {
        g_fakeLastError = 5;
        return nullptr;
    }
    ++g_opens;
    return &g_service;
}
ServiceHandle OpenService(ServiceHandle, const char* name, uint32_t* error) {
    g_lastName = name;
    if (!g_service.installed) {
        *error = SERVICE_MISSING;
        return nullptr;
    }
    if (g_service.openError) {
        *error = g_service.openError;
        return nullptr;
    }
    ++g_opens;
    return &g_service;
}
bool Stop(ServiceHandle, uint32_t* state) {
    ++g_stops;
    if (!g_service.running) return false;
    *state = SERVICE_STATE_STOP_PENDING;
    return true;
}
bool QueryState(ServiceHandle, uint32_t* state) {
    ++g_queries;
    if (g_service.queryFails) return false;
    bool pending = g_service.pendingQueries < 0 || g_queries <= g_service.pendingQueries;
    *state = pending ? SERVICE_STATE_STOP_PENDING : SERVICE_STATE_STOPPED;
    return true;
}
bool Remove(ServiceHandle) {
    if (g_service.deleteFails) {
        g_fakeLastError = kRemoveError;
        return false;
    }
    g_deleted.push_back(g_lastName);
    return true;
}
void Close(ServiceHandle) { ++g_closes; }
void Sleep(uint32_t milliseconds) {
    EXPECT_EQ(1000u, milliseconds);
    ++g_sleeps;
}

const ServiceCalls kFakeManager = {OpenManager, OpenService, Stop, QueryState, Remove, Close, Sleep};
// Members this test does not use stay null, however many the table grows.
CleaningWork MakeWork() {
    CleaningWork work = {};
    work.services = &kFakeManager;
    return work;
}
const CleaningWork kWork = MakeWork();

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"F\" Type=\"Worm\"><IDENTITY GenericName=\"Gen\">" + body + "</IDENTITY></CLEANER>";
}

const char kHeading[] = "\r\nChecking services\r\n";

class Service : public ::testing::Test {
  protected:
    void SetUp() override {
        g_service = FakeService();
        g_managerFails = false;
        g_sleeps = g_queries = g_opens = g_closes = g_stops = 0;
        g_deleted.clear();
        g_cleaning = &kWork;
        g_fakeLastError = 0;
        ResetCounters();
        FreeRunItems();
        g_settings.reportOnly = 0;
    }
    void TearDown() override {
        g_cleaning = nullptr;
        FreeRunItems();
        g_settings.reportOnly = 0;
    }
    // The log after the identity lines.
    static std::string Work(const ScriptRun& run) {
        size_t at = run.record.log.find("\r\nChecking services");
        if (at == std::string::npos) return "<no heading>";
        std::string work = run.record.log.substr(at);
        // up to the IDENTITY end's line
        return work.substr(0, work.find("\r\nSystem scan finished"));
    }
};

struct StopRow {
    int row;
    bool running;
    int pending;
    bool queryFails;
    bool deleteFails;
    const char* log;
    int sleeps;
    int queries;
    int removed;
};

const int kBound = SERVICE_STOP_QUERIES;

const StopRow kStops[] = {
    {1, true, 0, false, false, "\r\nStopping Evil\r\nEvil stopped\r\n\r\nEvil removed\r\n", 1, 1, 1},
    {2, true, 2, false, false, "\r\nStopping Evil\r\nEvil stopped\r\n\r\nEvil removed\r\n", 3, 3, 1},
    // never stops: the last allowed query ends the wait, the deletion is
    // asked for all the same
    {3, true, -1, false, false, "\r\nStopping Evil\r\nEvil failed to stop\r\n\r\nEvil removed\r\n", kBound, kBound, 1},
    {4, true, kBound - 1, false, false, "\r\nStopping Evil\r\nEvil stopped\r\n\r\nEvil removed\r\n", kBound, kBound,
     1},
    // no answer: the state the stop request gave stands
    {5, true, 0, true, false, "\r\nStopping Evil\r\nEvil failed to stop\r\n\r\nEvil removed\r\n", 1, 1, 1},
    {6, false, 0, false, false, "\r\nEvil removed\r\n", 0, 0, 1},
    {7, false, 0, false, true, "\r\nCould not remove Evil service\r\n", 0, 0, 0},
};

TEST_F(Service, StopAndDelete) {
    for (const StopRow& r : kStops) {
        SetUp();
        g_service.running = r.running;
        g_service.pendingQueries = r.pending;
        g_service.queryFails = r.queryFails;
        g_service.deleteFails = r.deleteFails;
        ScriptRun run = RunScript(Script("<SERVICE>Evil</SERVICE>"));
        EXPECT_EQ(std::string(kHeading) + r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(r.sleeps, g_sleeps) << "row " << r.row;
        EXPECT_EQ(r.queries, g_queries) << "row " << r.row;
        EXPECT_EQ(1, g_counters[COUNT_SERVICES_FOUND]) << "row " << r.row;
        EXPECT_EQ(r.removed, g_counters[COUNT_SERVICES_REMOVED]) << "row " << r.row;
        EXPECT_EQ(g_opens, g_closes) << "row " << r.row;
    }
}

TEST_F(Service, MissingServiceIsSilentAndOtherOpenFailuresAreReported) {
    g_service.installed = false;
    ScriptRun missing = RunScript(Script("<SERVICE>Evil</SERVICE>"));
    EXPECT_EQ(kHeading, Work(missing));
    EXPECT_EQ(0, g_counters[COUNT_SERVICES_FOUND]);
    EXPECT_TRUE(missing.context.flags & RUN_DID_SERVICES);

    SetUp();
    g_service.openError = 5;
    ScriptRun denied = RunScript(Script("<SERVICE>Evil</SERVICE>"));
    EXPECT_EQ(std::string(kHeading) + "\r\nCould not open Evil\r\n", Work(denied));
    EXPECT_EQ(1, g_counters[COUNT_SERVICES_FOUND]);
    EXPECT_EQ(0, g_counters[COUNT_SERVICES_REMOVED]);
    EXPECT_EQ(g_opens, g_closes);

    SetUp();
    g_managerFails = true;
    ScriptRun refused = RunScript(Script("<SERVICE>Evil</SERVICE>"));
    EXPECT_EQ(kHeading, Work(refused));
    EXPECT_EQ(0, g_counters[COUNT_SERVICES_FOUND]);
}

TEST_F(Service, HeadingOncePerRunAndOnlyWithDefaultMessages) {
    ScriptRun two = RunScript(Script("<SERVICE>A</SERVICE><SERVICE>B</SERVICE>"));
    EXPECT_EQ(std::string(kHeading) + "\r\nA removed\r\n\r\nB removed\r\n", Work(two));
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), g_deleted);

    SetUp();
    ScriptRun off = RunScript(Script("<SERVICE DefaultMessages=\"off\">A</SERVICE><SERVICE>B</SERVICE>"));
    EXPECT_EQ(std::string::npos, off.record.log.find("Checking services"));
    EXPECT_NE(std::string::npos, off.record.log.find("\r\nA removed\r\n\r\nB removed\r\n"));
}

TEST_F(Service, NothingIsTouchedOnWindows9xOrInSkipMode) {
    ScriptRun old = RunScript(Script("<SERVICE>A</SERVICE><SERVICE>B</SERVICE>"), RUN_WIN9X);
    EXPECT_EQ(0, g_opens);
    EXPECT_EQ(std::string::npos, old.record.log.find("Checking services"));
    EXPECT_FALSE(old.context.flags & RUN_DID_SERVICES);

    // A run that went into skip mode while the text was collected (memory
    // ran out) does not act on what it got.
    SetUp();
    ParseContext context{};
    context.flags = RUN_INITIAL_FLAGS | RUN_WINNT | RUN_SKIP;
    context.serviceText = static_cast<char*>(malloc(2));
    strcpy(context.serviceText, "A");
    OnServiceEnd(&context, "SERVICE");
    EXPECT_EQ(0, g_opens);
    EXPECT_EQ(nullptr, context.serviceText);
}

// The service is saved for undo before it is stopped: a refused save leaves
// it running and installed.
TEST_F(Service, SavedForUndoBeforeItIsStopped) {
    struct Row {
        int row;
        bool saveAnswer;
        bool deleteFails;
        const char* log;
        std::vector<std::string> calls;
        int removed;
    } rows[] = {
        {1, true, false, "\r\nStopping Evil\r\nEvil stopped\r\n\r\nEvil removed\r\n", {"service Evil", "made"}, 1},
        {2, true, true, "\r\nStopping Evil\r\nEvil stopped\r\n\r\nCould not remove Evil service\r\n",
         {"service Evil", "not made"}, 0},
        {3, false, false, "\r\nCould not remove Evil service: could not save it for undo (the disk is full)\r\n",
         {"service Evil"}, 0},
    };
    for (const Row& r : rows) {
        SetUp();
        g_service.running = true;
        g_service.deleteFails = r.deleteFails;
        FakeUndoSaving::Install(r.saveAnswer);
        ScriptRun run = RunScript(Script("<SERVICE>Evil</SERVICE>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(std::string(kHeading) + r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(r.calls, FakeUndoSaving::Calls()) << "row " << r.row;
        EXPECT_EQ(r.saveAnswer ? 1 : 0, g_sleeps) << "row " << r.row;  // no stop without a save
        EXPECT_EQ(r.removed, g_counters[COUNT_SERVICES_REMOVED]) << "row " << r.row;
        EXPECT_EQ(g_opens, g_closes) << "row " << r.row;
    }
}


// A report-only run opens the service as a real one does and counts it as
// found, but neither stops nor removes it and saves nothing for undo.
TEST_F(Service, ReportOnlyLeavesTheServiceAlone) {
    struct Row {
        int row;
        bool installed;
        uint32_t openError;
        const char* log;  // after the heading
        int found;
        const char* item;
    } rows[] = {
        {1, true, 0, "Would stop and remove service Evil\r\n", 1, "service|Evil|Evil|stopAndRemove|wouldDo|0"},
        {2, false, 0, "", 0, nullptr},
        {3, true, 5, "\r\nCould not open Evil\r\n", 1, "service|Evil|Evil|stopAndRemove|failed|5"},
    };
    for (const Row& r : rows) {
        SetUp();
        g_settings.reportOnly = 1;
        g_service.running = true;
        g_service.installed = r.installed;
        g_service.openError = r.openError;
        FakeUndoSaving::Install(true);
        ScriptRun run = RunScript(Script("<SERVICE>Evil</SERVICE>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(std::string(kHeading) + r.log, Work(run)) << "row " << r.row;
        EXPECT_EQ(0, g_stops) << "row " << r.row;
        EXPECT_EQ(0, g_sleeps) << "row " << r.row;
        EXPECT_TRUE(g_deleted.empty()) << "row " << r.row;
        EXPECT_TRUE(FakeUndoSaving::Calls().empty()) << "row " << r.row;
        EXPECT_EQ(r.found, g_counters[COUNT_SERVICES_FOUND]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_SERVICES_REMOVED]) << "row " << r.row;
        EXPECT_EQ(g_opens, g_closes) << "row " << r.row;
        std::vector<std::string> items;
        if (r.item) items.push_back(r.item);
        EXPECT_EQ(items, RecordedItems()) << "row " << r.row;
    }
}

// One item per service found. One that did not stop but was marked for
// deletion has failed with the stop's timeout, though the removal counter
// counts it, with a note that it still runs; a failed removal carries the
// error read right after it.
TEST_F(Service, EachServiceFoundIsOneItemOfTheRunReport) {
    struct Row {
        int row;
        bool installed;
        uint32_t openError;
        int pending;
        bool deleteFails;
        bool saveAnswer;
        const char* item;
    } rows[] = {
        {1, true, 0, 0, false, true, "service|Evil|Evil|stopAndRemove|done|0"},
        {2, true, 0, -1, false, true, "service|Evil|Evil (did not stop: removed once it ends)|stopAndRemove|failed|1053"},
        {3, true, 0, 0, true, true, "service|Evil|Evil|stopAndRemove|failed|1072"},
        {4, true, 0, 0, false, false, "service|Evil|Evil|stopAndRemove|notSaved|0"},
        {5, true, 5, 0, false, true, "service|Evil|Evil|stopAndRemove|failed|5"},
        {6, false, 0, 0, false, true, nullptr},
    };
    for (const Row& r : rows) {
        SetUp();
        g_service.running = true;
        g_service.installed = r.installed;
        g_service.openError = r.openError;
        g_service.pendingQueries = r.pending;
        g_service.deleteFails = r.deleteFails;
        FakeUndoSaving::Install(r.saveAnswer);
        RunScript(Script("<SERVICE>Evil</SERVICE>"));
        FakeUndoSaving::Remove();
        std::vector<std::string> items;
        if (r.item) items.push_back(r.item);
        EXPECT_EQ(items, RecordedItems()) << "row " << r.row;
    }
}

// Without the service control manager (no rights) the log stays silent, as
// before, and the run report names the service as not examined.
TEST_F(Service, WithoutTheManagerTheServiceIsNotExamined) {
    g_managerFails = true;
    ScriptRun run = RunScript(Script("<SERVICE>Evil</SERVICE>"));
    EXPECT_EQ(kHeading, Work(run));
    EXPECT_TRUE(RecordedItems().empty());
    EXPECT_EQ(std::vector<std::string>{"service|Evil|the service control manager could not be opened|5"},
              NotExaminedItems());
}

}  // namespace
