// Event counting and the window controls that show the counts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "report/counters.h"
#include "report/message.h"

namespace {

using Shown = std::vector<std::pair<int, std::string>>;
Shown g_shown;
void* const kWindow = (void*)0x30;

void RecControl(void* w, int id, const char* text) {
    g_shown.emplace_back(w == kWindow ? id : -id, text);
}
const MessageSinks kSinks = {nullptr, nullptr, nullptr, nullptr, RecControl};

class Counters : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        g_report.sinks = &kSinks;
        g_report.mainWindow = kWindow;
        g_shown.clear();
        ResetCounters();
    }
    void TearDown() override {
        g_report = saved_;
        ResetCounters();
    }
    ReportState saved_;
};

using Counts = std::vector<std::pair<int, int>>;  // counter index, value; others 0

struct CountRow {
    int row;
    std::vector<int> events;
    Counts counts;
    Shown shown;
};

const CountRow kRows[] = {
    {1, {1}, {{COUNT_FILES_FOUND, 1}}, {{1029, "1"}}},
    {2, {2, 2, 8}, {{COUNT_FILES_DELETED, 2}, {COUNT_FILES_CHANGED, 1}},
     {{1032, "1"}, {1032, "2"}, {1032, "3"}}},
    {3, {8, 2}, {{COUNT_FILES_DELETED, 1}, {COUNT_FILES_CHANGED, 1}}, {{1032, "1"}, {1032, "2"}}},
    {4, {6, 16}, {{COUNT_PROCESSES_TERMINATED, 2}}, {{1034, "1"}, {1034, "2"}}},
    {5, {3, 4, 5, 3},
     {{COUNT_REGKEYS_AFFECTED, 2}, {COUNT_REGKEYS_CHANGED, 1}, {COUNT_PROCESSES_FOUND, 1}},
     {{1030, "1"}, {1033, "1"}, {1031, "1"}, {1030, "2"}}},
    {6, {7, 9, 10, 11, 12, 13, 14, 15},
     {{COUNT_SHARES_DELETED, 1},
      {COUNT_INI_FOUND, 1},
      {COUNT_INI_CHANGED, 1},
      {COUNT_SERVICES_REMOVED, 1},
      {COUNT_SERVICES_FOUND, 1},
      {COUNT_THREADS_FOUND, 1},
      {COUNT_THREADS_TERMINATED, 1},
      {COUNT_THREAD_ACTIONS, 1}},
     {}},
    {7, {0, 17, -1, 1000, -2147483647 - 1}, {}, {}},
    {8, {16, 16, 16, 16, 16, 16, 16, 16, 16, 6},
     {{COUNT_PROCESSES_TERMINATED, 10}},
     {{1034, "1"}, {1034, "2"}, {1034, "3"}, {1034, "4"}, {1034, "5"}, {1034, "6"}, {1034, "7"},
      {1034, "8"}, {1034, "9"}, {1034, "10"}}},
};

TEST_F(Counters, EventsBumpTheirCounterAndControl) {
    for (const CountRow& r : kRows) {
        ResetCounters();
        g_shown.clear();
        for (int e : r.events) CountEvent(e);

        int want[COUNTER_COUNT] = {};
        for (const auto& c : r.counts) want[c.first] = c.second;
        for (int i = 0; i < COUNTER_COUNT; ++i)
            EXPECT_EQ(g_counters[i], want[i]) << "row " << r.row << " counter " << i;
        EXPECT_EQ(g_shown, r.shown) << "row " << r.row;
    }
}

TEST_F(Counters, WithoutWindowOnlyCounts) {
    g_report.mainWindow = nullptr;
    CountEvent(EVENT_FILE_FOUND);
    EXPECT_EQ(g_counters[COUNT_FILES_FOUND], 1);
    EXPECT_TRUE(g_shown.empty());

    g_report.mainWindow = kWindow;
    g_report.sinks = nullptr;
    CountEvent(EVENT_FILE_FOUND);  // must not crash
    EXPECT_EQ(g_counters[COUNT_FILES_FOUND], 2);
}

TEST_F(Counters, ResetZeroesAll) {
    for (int code = 1; code <= 16; ++code) CountEvent(code);
    ResetCounters();
    for (int i = 0; i < COUNTER_COUNT; ++i) EXPECT_EQ(g_counters[i], 0) << "counter " << i;
}

TEST_F(Counters, LargeCountsShowInFull) {
    g_counters[COUNT_FILES_DELETED] = 2000000000;
    g_counters[COUNT_FILES_CHANGED] = 99999;
    CountEvent(EVENT_FILE_CHANGED);
    EXPECT_EQ(g_shown, (Shown{{1032, "2000100000"}}));
}

}  // namespace
