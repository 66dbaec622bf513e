#include "tools/dat/fleet.h"

#include <algorithm>

#include "report/folder_files.h"
#include "report/json_report.h"
#include "script/json.h"
#include "tools/dat/file_io.h"

using json = nlohmann::json;

namespace {

const char kFormat[] = "mendrix-run-report";

// Readers that check the type first: a value of another type reads as
// missing, since asking the library for a wrong type would end the program.
const json* Member(const json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

std::string TextOf(const json& object, const char* name) {
    const json* m = Member(object, name);
    return m && m->is_string() ? m->get<std::string>() : std::string();
}

bool NumberOf(const json& object, const char* name, long* out) {
    const json* m = Member(object, name);
    if (!m || !m->is_number_integer()) return false;
    *out = m->is_number_unsigned() ? static_cast<long>(m->get<unsigned long>()) : m->get<long>();
    return true;
}

bool FlagOf(const json& object, const char* name, bool* out) {
    const json* m = Member(object, name);
    if (!m || !m->is_boolean()) return false;
    *out = m->get<bool>();
    return true;
}

const json& ObjectOf(const json& object, const char* name) {
    static const json kEmpty = json::object();
    const json* m = Member(object, name);
    return m && m->is_object() ? *m : kEmpty;
}

// The file's own name, without its folders.
std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithJson(const std::string& path) {
    if (path.size() < 5) return false;
    std::string end = path.substr(path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return end == ".json";
}

// What the run left: a run that did not complete failed; one that left
// nothing is clean; one whose only loose ends wait for the restart needs
// that; anything else left as it was keeps the machine infected.
MachineState StateOf(const json& report, const FleetMachine& m, bool complete, bool rebootRequired) {
    const json& run = ObjectOf(report, "run");
    long result = 0;
    bool failedRun = (NumberOf(run, "result", &result) && result != 0) ||
                     (Member(run, "dataError") && !Member(run, "dataError")->is_null());
    if (failedRun) return STATE_FAILED;
    if (m.clean) return STATE_CLEAN;
    const json& totals = ObjectOf(report, "totals");
    long leftNow = 0, n = 0;
    for (const char* outcome : {"failed", "wouldDo", "declined", "notSaved"})
        if (NumberOf(totals, outcome, &n)) leftNow += n;
    if (rebootRequired && complete && leftNow == 0) return STATE_RESTART_NEEDED;
    return STATE_INFECTED;
}

}  // namespace

const char* StateName(MachineState state) {
    static const char* const kNames[STATE_COUNT] = {"clean", "restart needed", "still infected", "failed"};
    return state >= 0 && state < STATE_COUNT ? kNames[state] : "?";
}

FleetTotals TotalsOf(const Fleet& fleet) {
    FleetTotals totals = {};
    for (const FleetMachine& m : fleet.machines) {
        ++totals.byState[m.state];
        totals.found += m.found;
        totals.changed += m.changed;
        totals.scheduled += m.scheduled;
        totals.failed += m.failed;
        totals.notExamined += m.notExamined;
    }
    return totals;
}

std::string FleetSummaryLine(const Fleet& fleet) {
    FleetTotals totals = TotalsOf(fleet);
    std::string line = std::to_string(fleet.machines.size()) + (fleet.machines.size() == 1 ? " machine:" : " machines:");
    for (int s = 0; s < STATE_COUNT; ++s)
        line += std::string(s ? ", " : " ") + std::to_string(totals.byState[s]) + " " +
                StateName(static_cast<MachineState>(s));
    return line;
}

bool ReadFleetReport(const std::string& report, const std::string& text, FleetMachine* machine, std::string* problem) {
    json r = json::parse(text, nullptr, false);
    if (r.is_discarded()) {
        *problem = "not JSON (a report cut short, or another file)";
        return false;
    }
    if (TextOf(r, "format") != kFormat) {
        *problem = "not a run report";
        return false;
    }
    long version = 0;
    if (!NumberOf(r, "formatVersion", &version) || version != RUN_REPORT_FORMAT_VERSION) {
        *problem = "a run report of a format version this tool does not know";
        return false;
    }
    const json& totals = ObjectOf(r, "totals");
    FleetMachine m = {};
    m.report = report;
    bool complete = false, rebootRequired = false;
    if (!NumberOf(totals, "items", &m.found) || !NumberOf(totals, "done", &m.changed) ||
        !NumberOf(totals, "failed", &m.failed) || !NumberOf(totals, "notExamined", &m.notExamined) ||
        !FlagOf(r, "clean", &m.clean) || !FlagOf(r, "complete", &complete)) {
        *problem = "a run report without its totals, or whether the machine is clean";
        return false;
    }
    // Reports of runs before restarts were scheduled have neither.
    NumberOf(totals, "scheduled", &m.scheduled);
    FlagOf(r, "rebootRequired", &rebootRequired);
    m.name = TextOf(r, "computerName");
    if (m.name.empty()) m.name = "[" + BaseName(report) + "]";
    const json& run = ObjectOf(r, "run");
    m.when = TextOf(run, "finished");
    if (m.when.empty()) m.when = TextOf(run, "started");
    if (m.when.size() > 10 && m.when[10] == 'T') m.when[10] = ' ';
    m.threat = TextOf(ObjectOf(r, "dataFile"), "threat");
    m.result = TextOf(run, "resultName");
    m.state = StateOf(r, m, complete, rebootRequired);
    *machine = m;
    return true;
}

Fleet ReadFleet(const std::vector<std::string>& names) {
    std::vector<std::string> reports;
    for (const std::string& name : names) {
        std::vector<std::string> inFolder;
        if (!ListFolderFiles(name, &inFolder)) {
            reports.push_back(name);
            continue;
        }
        std::sort(inFolder.begin(), inFolder.end());
        for (const std::string& path : inFolder)
            if (EndsWithJson(path)) reports.push_back(path);
    }
    Fleet fleet = {};
    std::vector<FleetMachine> all;
    for (const std::string& report : reports) {
        std::vector<uint8_t> bytes;
        std::string problem;
        FleetMachine machine;
        if (!ReadWholeFile(report, &bytes, &problem)) {
            fleet.problems.push_back(FleetProblem{report, problem});
            continue;
        }
        if (!ReadFleetReport(report, std::string(bytes.begin(), bytes.end()), &machine, &problem)) {
            fleet.problems.push_back(FleetProblem{report, problem});
            continue;
        }
        all.push_back(machine);
    }
    // By name, the latest run first; then one machine, one row.
    std::stable_sort(all.begin(), all.end(), [](const FleetMachine& a, const FleetMachine& b) {
        return a.name != b.name ? a.name < b.name : a.when > b.when;
    });
    for (const FleetMachine& m : all) {
        if (!fleet.machines.empty() && fleet.machines.back().name == m.name)
            ++fleet.olderReports;
        else
            fleet.machines.push_back(m);
    }
    return fleet;
}
