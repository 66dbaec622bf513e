// The fleet as text for a console and as CSV for a spreadsheet.
#include <algorithm>
#include <string>
#include <vector>

#include "tools/dat/fleet.h"

namespace {

struct Column {
    const char* heading;
    bool number;  // right-aligned
};

const Column kColumns[] = {
    {"Machine", false}, {"When", false},      {"Threat", false},        {"Result", false},
    {"Found", true},    {"Changed", true},    {"Scheduled", true},      {"Failed", true},
    {"Not examined", true}, {"Clean", false}, {"State", false},
};
const size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

std::vector<std::string> Cells(const FleetMachine& m) {
    return {m.name,
            m.when,
            m.threat,
            m.result,
            std::to_string(m.found),
            std::to_string(m.changed),
            std::to_string(m.scheduled),
            std::to_string(m.failed),
            std::to_string(m.notExamined),
            m.clean ? "yes" : "no",
            StateName(m.state)};
}

std::string Padded(const std::string& text, size_t width, bool right) {
    std::string pad(width > text.size() ? width - text.size() : 0, ' ');
    return right ? pad + text : text + pad;
}

std::string Plural(long count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// CSV cells are quoted where they hold a comma, a quote or a line end.
std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::string FleetText(const Fleet& fleet) {
    std::vector<std::vector<std::string>> rows;
    for (const FleetMachine& m : fleet.machines) rows.push_back(Cells(m));
    size_t widths[kColumnCount];
    for (size_t c = 0; c < kColumnCount; ++c) {
        widths[c] = std::string(kColumns[c].heading).size();
        for (const std::vector<std::string>& row : rows) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string text;
    auto addRow = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (size_t c = 0; c < kColumnCount; ++c)
            line += (c ? "  " : "") + Padded(cells[c], c + 1 < kColumnCount || kColumns[c].number ? widths[c] : 0,
                                             kColumns[c].number);
        text += line + "\n";
    };
    std::vector<std::string> headings;
    for (const Column& c : kColumns) headings.push_back(c.heading);
    addRow(headings);
    for (const std::vector<std::string>& row : rows) addRow(row);

    FleetTotals t = TotalsOf(fleet);
    text += "\n" + FleetSummaryLine(fleet) + "\n";
    text += "Totals: found " + std::to_string(t.found) + ", changed " + std::to_string(t.changed) + ", scheduled " +
            std::to_string(t.scheduled) + ", failed " + std::to_string(t.failed) + ", not examined " +
            std::to_string(t.notExamined) + "\n";
    if (fleet.olderReports)
        text += Plural(fleet.olderReports, "older report", "older reports") +
                " left out: a later report of the same machine is shown\n";
    for (const FleetProblem& p : fleet.problems) text += "Could not read " + p.report + ": " + p.problem + "\n";
    return text;
}

std::string FleetCsv(const Fleet& fleet) {
    std::string csv = "machine,when,threat,result,found,changed,scheduled,failed,notExamined,clean,state,report,problem\r\n";
    for (const FleetMachine& m : fleet.machines) {
        std::vector<std::string> cells = Cells(m);
        cells.push_back(m.report);
        cells.push_back("");
        std::string line;
        for (size_t c = 0; c < cells.size(); ++c) line += (c ? "," : "") + CsvCell(cells[c]);
        csv += line + "\r\n";
    }
    // A report that could not be read is a row of its own, with only why.
    for (const FleetProblem& p : fleet.problems)
        csv += ",,,,,,,,,,unreadable," + CsvCell(p.report) + "," + CsvCell(p.problem) + "\r\n";
    return csv;
}
