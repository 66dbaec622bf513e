#include "report/json_report.h"

#include "report/counters.h"
#include "report/run_report.h"
#include "script/identity.h"
#include "script/parse_context.h"
#include "script/settings.h"
#include "script/version.h"
#include "script/json.h"

using json = nlohmann::ordered_json;

namespace {

// The counters by the names the report gives them, in counter order.
const char* const kCounterNames[COUNTER_COUNT] = {
    "filesFound",        "filesDeleted",     "registryKeysAffected", "registryKeysChanged", "processesFound",
    "processesTerminated", "sharesDeleted",  "filesChanged",         "iniEntriesFound",     "iniEntriesChanged",
    "servicesRemoved",   "servicesFound",    "threadsFound",         "threadsTerminated",   "threadActions",
};

const char* ResultName(int32_t result) {
    switch (result) {
        case RESULT_OK: return "completed";
        case RESULT_PLATFORM: return "platformOrRights";
        case RESULT_NO_DATA: return "noDataFile";
        case RESULT_BAD_XML: return "badXml";
        case RESULT_CORRUPT: return "corruptData";
        case RESULT_NO_MEMORY: return "outOfMemory";
        default: return "unknown";
    }
}

const char* ThreatTypeName(int32_t type) {
    switch (type) {
        case THREAT_VIRUS: return "Virus";
        case THREAT_WORM: return "Worm";
        case THREAT_TROJAN: return "Trojan";
        case THREAT_APPLICATION: return "Application";
        default: return "";
    }
}

json Text(const char* text) { return text ? json(PlatformAnsiToUtf8(text)) : json(nullptr); }

// "2026-12-07T11:05:09", local time; null when the moment was not reached.
json Moment(const int32_t* t) {
    if (t[0] == 0) return nullptr;
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", static_cast<int>(t[0]), static_cast<int>(t[1]),
             static_cast<int>(t[2]), static_cast<int>(t[3]), static_cast<int>(t[4]), static_cast<int>(t[5]));
    return text;
}

json Windows() {
    const RunFacts& f = g_runFacts;
    json windows;
    windows["family"] = f.platformCode == PLATFORM_NT ? json("NT") : f.platformCode == PLATFORM_9X ? json("9x")
                                                                                                 : json(nullptr);
    windows["major"] = f.windowsMajor;
    windows["minor"] = f.windowsMinor;
    windows["build"] = f.windowsBuild;
    windows["servicePack"] = Text(f.servicePack);
    windows["wow64"] = f.wow64 != 0;
    return windows;
}

json DataFile() {
    json data;
    data["name"] = Text(g_settings.dataFile);
    data["embedded"] = g_settings.dataFile == nullptr;
    data["threat"] = Text(g_threatName);
    data["type"] = ThreatTypeName(g_threatType);
    data["version"] = Text(g_dataVersion);
    json variants = json::array();
    for (const char* v : g_variants)
        if (v) variants.push_back(Text(v));
    data["variants"] = variants;
    return data;
}

json Item(const ReportItem* item, bool examined) {
    json entry;
    entry["kind"] = ItemKindName(item->kind);
    entry["subject"] = Text(item->subject);
    if (examined) {
        entry["matched"] = Text(item->matched);
        entry["action"] = Text(item->action);
        entry["outcome"] = ItemOutcomeName(item->outcome);
    } else {
        entry["reason"] = Text(item->action);
    }
    entry["error"] = item->error;
    if (item->processId) entry["processId"] = item->processId;
    if (item->threadId) entry["threadId"] = item->threadId;
    return entry;
}

}  // namespace

std::string RunReportJson() {
    const RunFacts& f = g_runFacts;
    json report;
    report["format"] = "mendrix-run-report";
    report["formatVersion"] = static_cast<int>(RUN_REPORT_FORMAT_VERSION);
    report["program"] = {{"name", "mendrix"}, {"version", MENDRIX_VERSION}, {"build", sizeof(void*) == 8 ? "64-bit" : "32-bit"}};
    report["computerName"] = f.computerName[0] ? Text(f.computerName) : json(nullptr);
    report["windows"] = Windows();
    report["dataFile"] = DataFile();

    json run;
    run["mode"] = f.mode ? f.mode : "scan";
    run["reportOnly"] = g_settings.reportOnly != 0;
    run["confirm"] = g_settings.confirmation != 0;
    run["sharesMode"] = g_runOptions.sharesMode == 1 ? "removeAndSave" : g_runOptions.sharesMode == 2 ? "restore"
                                                                                                    : "leave";
    run["started"] = Moment(f.started);
    run["finished"] = Moment(f.finished);
    run["result"] = f.result;
    run["resultName"] = ResultName(f.result);
    run["dataError"] = f.dataError ? json{{"code", f.dataError}, {"line", f.dataErrorLine}} : json(nullptr);
    run["skipMode"] = f.skipMode != 0;
    run["undoJournal"] = f.undoJournal[0] ? Text(f.undoJournal) : json(nullptr);
    report["run"] = run;

    json counters;
    for (int i = 0; i < COUNTER_COUNT; ++i) counters[kCounterNames[i]] = g_counters[i];
    report["counters"] = counters;

    json items = json::array();
    int32_t outcomes[OUTCOME_COUNT] = {};
    for (const ReportItem* item = g_runItems.items; item; item = item->next) {
        items.push_back(Item(item, true));
        if (item->outcome >= 0 && item->outcome < OUTCOME_COUNT) ++outcomes[item->outcome];
    }
    json notExamined = json::array();
    for (const ReportItem* item = g_runItems.notExamined; item; item = item->next)
        notExamined.push_back(Item(item, false));

    // Complete: the whole script ran and everything it named was looked at.
    // Clean: complete, and nothing found was left as it was; a file that
    // waits for the next start is still there until then.
    bool scanSkipped = f.skipMode && std::string(f.mode ? f.mode : "scan") == "scan";
    bool complete = f.result == RESULT_OK && f.dataError == 0 && !scanSkipped && notExamined.empty() &&
                    g_runItems.droppedItems == 0;
    bool leftAlone = outcomes[OUTCOME_FAILED] + outcomes[OUTCOME_WOULD] + outcomes[OUTCOME_DECLINED] +
                         outcomes[OUTCOME_NOT_SAVED] + outcomes[OUTCOME_SCHEDULED] !=
                     0;
    json totals;
    totals["items"] = static_cast<int>(items.size());
    for (int o = 0; o < OUTCOME_COUNT; ++o) totals[ItemOutcomeName(o)] = outcomes[o];
    totals["notExamined"] = static_cast<int>(notExamined.size());
    totals["itemsLost"] = g_runItems.droppedItems;
    report["totals"] = totals;
    report["complete"] = complete;
    report["clean"] = complete && !leftAlone;
    // The count stands even where an item was lost for want of memory.
    report["rebootRequired"] = outcomes[OUTCOME_SCHEDULED] != 0 || g_filesScheduled != 0;
    report["items"] = items;
    report["notExamined"] = notExamined;
    // Text that is not UTF-8 after conversion is replaced, not refused: a
    // report with one odd character beats no report.
    return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
