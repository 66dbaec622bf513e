// The fleet view: many run reports, one per machine, read into one table
// of machines by what their last run left them as, with totals, as text,
// CSV or a self-contained HTML page.
#pragma once
#include <string>
#include <vector>

// What a run left its machine as, worst last.
enum MachineState { STATE_CLEAN, STATE_RESTART_NEEDED, STATE_INFECTED, STATE_FAILED, STATE_COUNT };

struct FleetMachine {
    std::string report;  // the report file it was read from
    std::string name;    // the computer's name; the report's file name in brackets where the report has none
    std::string when;    // "YYYY-MM-DD HH:MM:SS" the run finished (or started), or ""
    std::string threat;  // the data file's threat
    std::string result;  // the run's result name ("completed", "noDataFile", ...)
    long found, changed, scheduled, failed, notExamined;
    bool clean;
    MachineState state;
};

// A report that could not be read, and why.
struct FleetProblem {
    std::string report;
    std::string problem;
};

struct Fleet {
    std::vector<FleetMachine> machines;  // one per machine, by name
    std::vector<FleetProblem> problems;  // in the order they were met
    long olderReports;                   // reports of a machine that a later one of it replaced
};

// Reads one report's text into a machine; false with the reason when it is
// not a run report this tool knows.
bool ReadFleetReport(const std::string& report, const std::string& text, FleetMachine* machine, std::string* problem);

// Reads the reports and folders of reports (every *.json file directly in
// a folder) named. A machine with several reports keeps its latest. Never
// stops at a report it cannot read: it is listed with why.
Fleet ReadFleet(const std::vector<std::string>& names);

const char* StateName(MachineState state);  // "clean", "restart needed", ...

// The machines in each state, and their numbers added up.
struct FleetTotals {
    long byState[STATE_COUNT];
    long found, changed, scheduled, failed, notExamined;
};
FleetTotals TotalsOf(const Fleet& fleet);

// "4 machines: 1 clean, 1 restart needed, 1 still infected, 1 failed"
std::string FleetSummaryLine(const Fleet& fleet);

// The views of the same table.
std::string FleetText(const Fleet& fleet);
std::string FleetCsv(const Fleet& fleet);
std::string FleetHtml(const Fleet& fleet);
