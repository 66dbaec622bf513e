// The fleet view's reading of one run report: what state it puts the
// machine in, what it takes from reports of older programs, and a version
// it does not know. The views over real reports, a damaged one among them,
// are tested under Wine (restart_removal_test).
#include <gtest/gtest.h>

#include <string>

#include "tools/dat/fleet.h"

namespace {

// A report of a completed scan with the given members spliced in.
std::string Report(const std::string& run, const std::string& totals, const std::string& rest) {
    return "{\"format\":\"mendrix-run-report\",\"formatVersion\":1,\"computerName\":\"PC\","
           "\"dataFile\":{\"threat\":\"W32.Evil\"},"
           "\"run\":{\"result\":0,\"resultName\":\"completed\",\"dataError\":null,\"finished\":\"2026-12-07T10:00:05\"" +
           run + "},\"totals\":{\"items\":3,\"done\":1,\"failed\":0,\"wouldDo\":0,\"declined\":0,\"notSaved\":0," +
           "\"found\":0,\"notExamined\":0" + totals + "}," + rest + "}";
}

struct StateRow {
    int row;
    std::string text;
    MachineState state;
    long scheduled;
};

TEST(FleetReport, StateFollowsWhatTheRunLeft) {
    const StateRow rows[] = {
        {1, Report("", ",\"scheduled\":0", "\"complete\":true,\"clean\":true,\"rebootRequired\":false"), STATE_CLEAN, 0},
        {2, Report("", ",\"scheduled\":2", "\"complete\":true,\"clean\":false,\"rebootRequired\":true"),
         STATE_RESTART_NEEDED, 2},
        // a failure besides what waits: the restart will not finish the job
        {3, Report("", ",\"scheduled\":2,\"failed\":1", "\"complete\":true,\"clean\":false,\"rebootRequired\":true"),
         STATE_INFECTED, 2},
        // something not examined: the restart cannot vouch for it either
        {4, Report("", ",\"scheduled\":1", "\"complete\":false,\"clean\":false,\"rebootRequired\":true"),
         STATE_INFECTED, 1},
        {5, Report(",\"x\":0", ",\"wouldDo\":3", "\"complete\":true,\"clean\":false"), STATE_INFECTED, 0},
        {6, Report(",\"result\":3", "", "\"complete\":false,\"clean\":false"), STATE_FAILED, 0},
        {7, Report(",\"dataError\":{\"code\":9,\"line\":3}", "", "\"complete\":false,\"clean\":false"), STATE_FAILED, 0},
        // a report of a program before restarts were scheduled
        {8, Report("", "", "\"complete\":true,\"clean\":true"), STATE_CLEAN, 0},
    };
    for (const StateRow& r : rows) {
        FleetMachine m;
        std::string problem;
        ASSERT_TRUE(ReadFleetReport("C:\\r\\pc.json", r.text, &m, &problem)) << "row " << r.row << " " << problem;
        EXPECT_EQ(r.state, m.state) << "row " << r.row;
        EXPECT_EQ(r.scheduled, m.scheduled) << "row " << r.row;
        EXPECT_EQ("PC", m.name) << "row " << r.row;
        EXPECT_EQ("2026-12-07 10:00:05", m.when) << "row " << r.row;
        EXPECT_EQ("W32.Evil", m.threat) << "row " << r.row;
    }
}

TEST(FleetReport, AnotherFormatVersionIsRefusedWithItsReason) {
    FleetMachine m;
    std::string problem;
    EXPECT_FALSE(ReadFleetReport("x.json", "{\"format\":\"mendrix-run-report\",\"formatVersion\":2}", &m, &problem));
    EXPECT_EQ("a run report of a format version this tool does not know", problem);
}

// A machine's name comes from its report, which anyone on that machine may
// have written: on the page it stays text, never markup.
TEST(FleetViews, NamesStayTextOnThePage) {
    Fleet fleet = {};
    FleetMachine m = {};
    m.name = "<script>\"x\"&";
    fleet.machines.push_back(m);
    fleet.problems.push_back(FleetProblem{"C:\\r\\<b>.json", "not a run report"});
    std::string html = FleetHtml(fleet);
    EXPECT_NE(std::string::npos, html.find("<td>&lt;script&gt;&quot;x&quot;&amp;</td>")) << html;
    EXPECT_NE(std::string::npos, html.find("<code>C:\\r\\&lt;b&gt;.json</code>")) << html;
    EXPECT_EQ(std::string::npos, html.find("<script")) << html;
}

}  // namespace
