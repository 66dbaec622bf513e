// The machine-readable run report: what it says of the run, and when it
// calls a machine complete and clean, read back with the JSON library.
#include <gtest/gtest.h>

#include <string.h>
#include <string>

#include "report/counters.h"
#include "report/json_report.h"
#include "report/run_report.h"
#include "script/identity.h"
#include "script/json.h"
#include "script/parse_context.h"
#include "script/settings.h"

namespace {

using json = nlohmann::json;

class RunReportTest : public testing::Test {
protected:
    void SetUp() override {
        savedOptions_ = g_runOptions;
        savedSettings_ = g_settings;
        savedType_ = g_threatType;
        strcpy(savedName_, g_threatName);
        strcpy(savedVersion_, g_dataVersion);
        FreeRunItems();
        ResetCounters();
        ResetRunFacts("scan");
        g_runFacts.platformCode = PLATFORM_NT;
        g_runFacts.windowsMajor = 5;
        g_runFacts.windowsMinor = 1;
        g_runFacts.windowsBuild = 2600;
        strcpy(g_runFacts.servicePack, "Service Pack 3");
        const int32_t started[6] = {2026, 12, 7, 9, 5, 3};
        const int32_t finished[6] = {2026, 12, 7, 9, 6, 41};
        memcpy(g_runFacts.started, started, sizeof started);
        memcpy(g_runFacts.finished, finished, sizeof finished);
        g_settings.dataFile = "C:\\data\\w32evil.dat";
        g_settings.reportOnly = 0;
        g_settings.confirmation = 0;
        g_runOptions.sharesMode = 0;
        g_threatType = THREAT_WORM;
        strcpy(g_threatName, "W32.Evil");
        strcpy(g_dataVersion, "3.1");
    }
    void TearDown() override {
        FreeRunItems();
        ResetCounters();
        g_runOptions = savedOptions_;
        g_settings = savedSettings_;
        g_threatType = savedType_;
        strcpy(g_threatName, savedName_);
        strcpy(g_dataVersion, savedVersion_);
    }
    static json Report() {
        json report = json::parse(RunReportJson(), nullptr, false);
        EXPECT_FALSE(report.is_discarded());
        return report;
    }
    RunOptions savedOptions_;
    RunSettings savedSettings_;
    int32_t savedType_;
    char savedName_[THREAT_NAME_SIZE];
    char savedVersion_[DATA_VERSION_SIZE];
};

TEST_F(RunReportTest, NamesTheProgramTheSystemTheDataAndTheRun) {
    CountEvent(EVENT_FILE_FOUND);
    CountEvent(EVENT_PROCESS_TERMINATED);
    CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
    json r = Report();
    EXPECT_EQ("mendrix-run-report", r["format"]);
    EXPECT_EQ(RUN_REPORT_FORMAT_VERSION, r["formatVersion"]);
    EXPECT_EQ("mendrix", r["program"]["name"]);
    EXPECT_EQ(sizeof(void*) == 8 ? "64-bit" : "32-bit", r["program"]["build"]);
    EXPECT_EQ(json({{"family", "NT"}, {"major", 5}, {"minor", 1}, {"build", 2600},
                    {"servicePack", "Service Pack 3"}, {"wow64", false}}),
              r["windows"]);
    EXPECT_EQ("C:\\data\\w32evil.dat", r["dataFile"]["name"]);
    EXPECT_EQ(false, r["dataFile"]["embedded"]);
    EXPECT_EQ("W32.Evil", r["dataFile"]["threat"]);
    EXPECT_EQ("Worm", r["dataFile"]["type"]);
    EXPECT_EQ("3.1", r["dataFile"]["version"]);
    const json& run = r["run"];
    EXPECT_EQ("scan", run["mode"]);
    EXPECT_EQ(false, run["reportOnly"]);
    EXPECT_EQ("leave", run["sharesMode"]);
    EXPECT_EQ("2026-12-07T09:05:03", run["started"]);
    EXPECT_EQ("2026-12-07T09:06:41", run["finished"]);
    EXPECT_EQ(0, run["result"]);
    EXPECT_EQ("completed", run["resultName"]);
    EXPECT_TRUE(run["dataError"].is_null());
    EXPECT_TRUE(run["undoJournal"].is_null());
    // Every counter by name; the two names of the terminated count add up.
    EXPECT_EQ(15u, r["counters"].size());
    EXPECT_EQ(1, r["counters"]["filesFound"]);
    EXPECT_EQ(2, r["counters"]["processesTerminated"]);
    EXPECT_EQ(0, r["counters"]["threadActions"]);
    EXPECT_TRUE(r["items"].empty());
    EXPECT_TRUE(r["notExamined"].empty());
}

TEST_F(RunReportTest, EmbeddedDataAndAMissingMomentAreNull) {
    g_settings.dataFile = nullptr;
    g_runFacts.finished[0] = 0;
    g_runFacts.platformCode = 0;
    json r = Report();
    EXPECT_TRUE(r["dataFile"]["name"].is_null());
    EXPECT_EQ(true, r["dataFile"]["embedded"]);
    EXPECT_TRUE(r["run"]["finished"].is_null());
    EXPECT_TRUE(r["windows"]["family"].is_null());
}

TEST_F(RunReportTest, ItemsKeepTheirOrderAndOnlyFailuresKeepAnError) {
    RecordItem(ITEM_FILE, "C:\\A.EXE", "FileName A.EXE", "delete", OUTCOME_DONE, 5);
    RecordItem(ITEM_REGISTRY_VALUE, "HKLM\\Run\\evil", "evil.exe", "delete", OUTCOME_FAILED, 5);
    RecordItem(ITEM_THREAD, "evil.exe", nullptr, "kill", OUTCOME_WOULD, 0, 1234, 77);
    RecordNotExamined(ITEM_PROCESS, "process ID 88", "could not be opened", 5, 88);
    json r = Report();
    ASSERT_EQ(3u, r["items"].size());
    EXPECT_EQ(json({{"kind", "file"}, {"subject", "C:\\A.EXE"}, {"matched", "FileName A.EXE"}, {"action", "delete"},
                    {"outcome", "done"}, {"error", 0}}),
              r["items"][0]);
    EXPECT_EQ("registryValue", r["items"][1]["kind"]);
    EXPECT_EQ("failed", r["items"][1]["outcome"]);
    EXPECT_EQ(5, r["items"][1]["error"]);
    EXPECT_EQ("", r["items"][2]["matched"]);
    EXPECT_EQ("wouldDo", r["items"][2]["outcome"]);
    EXPECT_EQ(1234, r["items"][2]["processId"]);
    EXPECT_EQ(77, r["items"][2]["threadId"]);
    EXPECT_FALSE(r["items"][0].contains("processId"));
    ASSERT_EQ(1u, r["notExamined"].size());
    EXPECT_EQ(json({{"kind", "process"}, {"subject", "process ID 88"}, {"reason", "could not be opened"}, {"error", 5},
                    {"processId", 88}}),
              r["notExamined"][0]);
    EXPECT_EQ(3, r["totals"]["items"]);
    EXPECT_EQ(1, r["totals"]["done"]);
    EXPECT_EQ(1, r["totals"]["failed"]);
    EXPECT_EQ(1, r["totals"]["wouldDo"]);
    EXPECT_EQ(1, r["totals"]["notExamined"]);
}

// When a fleet tool may call the machine completely checked, and clean.
TEST_F(RunReportTest, CompleteAndCleanFollowWhatTheRunLeft) {
    struct Row {
        int row;
        const char* mode;
        int32_t result;
        int32_t dataError;
        int32_t skipMode;
        int32_t outcome;  // of the one item, or -1 for none
        bool notExamined;
        bool complete, clean;
    } rows[] = {
        {1, "scan", 0, 0, 0, -1, false, true, true},                // nothing found
        {2, "scan", 0, 0, 0, OUTCOME_DONE, false, true, true},      // cleaned
        {3, "scan", 0, 0, 0, OUTCOME_FOUND, false, true, true},     // found, nothing asked of it
        {4, "scan", 0, 0, 0, OUTCOME_FAILED, false, true, false},
        {5, "scan", 0, 0, 0, OUTCOME_WOULD, false, true, false},    // report-only: still there
        {6, "scan", 0, 0, 0, OUTCOME_DECLINED, false, true, false},
        {7, "scan", 0, 0, 0, OUTCOME_NOT_SAVED, false, true, false},
        {8, "scan", 0, 0, 0, -1, true, false, false},               // a file not looked into
        {9, "scan", 0, 9, 1, -1, false, false, false},              // stopped on a data-file error
        {10, "scan", 0, 0, 1, -1, false, false, false},             // the script is not for this system
        {11, "scan", 3, 0, 0, -1, false, false, false},             // no data file
        {12, "scan", 10, 0, 1, -1, false, false, false},
        {13, "restoreShares", 0, 0, 1, OUTCOME_DONE, false, true, true},
        {14, "undo", 1, 0, 0, OUTCOME_FAILED, false, false, false},
        {15, "scan", 0, 0, 0, OUTCOME_SCHEDULED, false, true, false},  // still there until the restart
    };
    for (const Row& w : rows) {
        FreeRunItems();
        g_runFacts.mode = w.mode;
        g_runFacts.result = w.result;
        g_runFacts.dataError = w.dataError;
        g_runFacts.dataErrorLine = w.dataError ? 12 : 0;
        g_runFacts.skipMode = w.skipMode;
        if (w.outcome >= 0) RecordItem(ITEM_FILE, "C:\\A.EXE", "", "delete", w.outcome, 2);
        if (w.notExamined) RecordNotExamined(ITEM_FILE, "C:\\B.EXE", "could not be opened", 32);
        json r = Report();
        EXPECT_EQ(w.complete, r["complete"]) << "row " << w.row;
        EXPECT_EQ(w.clean, r["clean"]) << "row " << w.row;
        EXPECT_EQ(w.outcome == OUTCOME_SCHEDULED, r["rebootRequired"]) << "row " << w.row;
        EXPECT_EQ(w.mode, r["run"]["mode"]) << "row " << w.row;
        EXPECT_EQ(w.skipMode != 0, r["run"]["skipMode"]) << "row " << w.row;
        if (w.dataError)
            EXPECT_EQ(json({{"code", w.dataError}, {"line", 12}}), r["run"]["dataError"]) << "row " << w.row;
    }
}

TEST_F(RunReportTest, ReportOnlyAndShareModesAreNamed) {
    g_settings.reportOnly = 1;
    g_runOptions.sharesMode = 1;
    EXPECT_EQ(true, Report()["run"]["reportOnly"]);
    EXPECT_EQ("removeAndSave", Report()["run"]["sharesMode"]);
    g_runOptions.sharesMode = 2;
    EXPECT_EQ("restore", Report()["run"]["sharesMode"]);
}

// 8-bit text becomes UTF-8, so that a name with an accent or a byte the
// code page does not know never makes the report unreadable.
TEST_F(RunReportTest, EightBitTextIsWrittenAsUtf8) {
    RecordItem(ITEM_FILE, "C:\\Caf\xE9\\\x81x.exe", "", "delete", OUTCOME_DONE);
    json r = Report();
    EXPECT_EQ("C:\\Caf\xC3\xA9\\\xC2\x81x.exe", r["items"][0]["subject"]);
}

TEST(ReportItems, ListsKeepTheirOrderAndStartOverWhenEmptied) {
    FreeRunItems();
    RecordItem(ITEM_FILE, "a", "", "delete", OUTCOME_DONE);
    RecordNotExamined(ITEM_FILE, "b", "why");
    RecordItem(ITEM_FILE, "c", "", "delete", OUTCOME_DONE);
    ASSERT_TRUE(g_runItems.items && g_runItems.items->next);
    EXPECT_STREQ("c", g_runItems.items->next->subject);
    EXPECT_EQ(nullptr, g_runItems.items->next->next);
    EXPECT_STREQ("b", g_runItems.notExamined->subject);
    FreeRunItems();
    EXPECT_EQ(nullptr, g_runItems.items);
    EXPECT_EQ(&g_runItems.items, g_runItems.itemsTail);
    RecordItem(ITEM_FILE, "d", "", "delete", OUTCOME_DONE);  // the list starts over
    EXPECT_STREQ("d", g_runItems.items->subject);
    FreeRunItems();
}

}  // namespace
