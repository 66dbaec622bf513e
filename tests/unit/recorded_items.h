// The run report's items as lines a test can compare:
// "kind|subject|matched|action|outcome|error".
#pragma once
#include <string>
#include <vector>

#include "report/run_report.h"

inline std::vector<std::string> RecordedItems() {
    std::vector<std::string> lines;
    for (const ReportItem* item = g_runItems.items; item; item = item->next)
        lines.push_back(std::string(ItemKindName(item->kind)) + "|" + item->subject + "|" + item->matched + "|" +
                        item->action + "|" + ItemOutcomeName(item->outcome) + "|" + std::to_string(item->error));
    return lines;
}

inline std::vector<std::string> NotExaminedItems() {
    std::vector<std::string> lines;
    for (const ReportItem* item = g_runItems.notExamined; item; item = item->next)
        lines.push_back(std::string(ItemKindName(item->kind)) + "|" + item->subject + "|" + item->action + "|" +
                        std::to_string(item->error));
    return lines;
}
