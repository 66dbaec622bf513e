// The fleet as one HTML page that needs nothing else: its style is inline,
// its chart is drawn in SVG, and it holds no script and no address to
// fetch (not even a namespace name), so it opens the same on a machine with
// no network. It is written as well-formed XML too, so that any XML reader
// can take it apart.
#include <string>
#include <vector>

#include "tools/dat/fleet.h"
#include "tools/dat/markup_escape.h"

namespace {

std::string Escaped(const std::string& text) { return EscapeMarkup(text, "&#39;"); }

// One colour per state, the same in the chart and beside each row.
const char* const kStateColours[STATE_COUNT] = {"#2e7d32", "#e0a000", "#c62828", "#616161"};
const char* const kStateClasses[STATE_COUNT] = {"clean", "restart", "infected", "failed"};

const char kStyle[] =
    "body{font-family:Segoe UI,Tahoma,Arial,sans-serif;margin:24px;color:#202020;background:#fff}"
    "h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:24px 0 8px}"
    "p{font-size:13px}p.summary{font-size:15px;margin:0 0 16px;color:#404040}"
    "table{border-collapse:collapse;font-size:13px}"
    "th,td{border:1px solid #c8c8c8;padding:4px 8px;text-align:left;white-space:nowrap}"
    "th{background:#eef0f3}td.n{text-align:right}tfoot td{font-weight:bold;background:#f6f6f6}"
    "td.state{font-weight:bold}"
    ".clean td.state{color:#2e7d32}.restart td.state{color:#a06800}"
    ".infected td.state{color:#c62828}.failed td.state{color:#616161}"
    "svg text{font-size:13px;fill:#202020}"
    "ul.problems{font-size:13px}";

std::string Chart(const Fleet& fleet) {
    FleetTotals totals = TotalsOf(fleet);
    long most = 1;
    for (long c : totals.byState) most = c > most ? c : most;
    const int labelWidth = 120, barWidth = 360, rowHeight = 28;
    std::string svg = "<svg width=\"" + std::to_string(labelWidth + barWidth + 60) +
                      "\" height=\"" + std::to_string(rowHeight * STATE_COUNT + 8) +
                      "\" role=\"img\" aria-label=\"Machines by state\">\n";
    for (int s = 0; s < STATE_COUNT; ++s) {
        int y = 4 + s * rowHeight;
        long width = totals.byState[s] * barWidth / most;
        svg += "<text x=\"0\" y=\"" + std::to_string(y + 17) + "\">" + StateName(static_cast<MachineState>(s)) +
               "</text>";
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
               std::to_string(width) + "\" height=\"18\" fill=\"" + kStateColours[s] + "\"/>";
        svg += "<text x=\"" + std::to_string(labelWidth + width + 6) + "\" y=\"" + std::to_string(y + 17) + "\">" +
               std::to_string(totals.byState[s]) + "</text>\n";
    }
    return svg + "</svg>\n";
}

std::string Cell(const std::string& text, bool number = false) {
    return std::string(number ? "<td class=\"n\">" : "<td>") + Escaped(text) + "</td>";
}

std::string Table(const Fleet& fleet) {
    std::string html =
        "<table>\n<thead><tr><th>Machine</th><th>When</th><th>Threat</th><th>Result</th><th>Found</th>"
        "<th>Changed</th><th>Scheduled</th><th>Failed</th><th>Not examined</th><th>Clean</th><th>State</th></tr>"
        "</thead>\n<tbody>\n";
    for (const FleetMachine& m : fleet.machines)
        html += std::string("<tr class=\"") + kStateClasses[m.state] + "\">" + Cell(m.name) + Cell(m.when) +
                Cell(m.threat) + Cell(m.result) + Cell(std::to_string(m.found), true) +
                Cell(std::to_string(m.changed), true) + Cell(std::to_string(m.scheduled), true) +
                Cell(std::to_string(m.failed), true) + Cell(std::to_string(m.notExamined), true) +
                Cell(m.clean ? "yes" : "no") + "<td class=\"state\">" + StateName(m.state) + "</td></tr>\n";
    FleetTotals t = TotalsOf(fleet);
    html += "</tbody>\n<tfoot><tr><td colspan=\"4\">Totals</td>" + Cell(std::to_string(t.found), true) +
            Cell(std::to_string(t.changed), true) + Cell(std::to_string(t.scheduled), true) +
            Cell(std::to_string(t.failed), true) + Cell(std::to_string(t.notExamined), true) +
            "<td colspan=\"2\"></td></tr></tfoot>\n</table>\n";
    return html;
}

}  // namespace

std::string FleetHtml(const Fleet& fleet) {
    std::string summary = FleetSummaryLine(fleet);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"
                       "<meta charset=\"utf-8\"/>\n<title>Mendrix fleet view</title>\n<style>" +
                       std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Mendrix fleet view</h1>\n" +
                       "<p class=\"summary\">" + Escaped(summary) + "</p>\n" + Chart(fleet) + "<h2>Machines</h2>\n" +
                       Table(fleet);
    if (fleet.olderReports)
        html += "<p>" + std::to_string(fleet.olderReports) +
                (fleet.olderReports == 1 ? " older report" : " older reports") +
                " left out: a later report of the same machine is shown.</p>\n";
    if (!fleet.problems.empty()) {
        html += "<h2>Reports that could not be read</h2>\n<ul class=\"problems\">\n";
        for (const FleetProblem& p : fleet.problems)
            html += "<li><code>" + Escaped(p.report) + "</code>: " + Escaped(p.problem) + "</li>\n";
        html += "</ul>\n";
    }
    return html + "</body>\n</html>\n";
}
