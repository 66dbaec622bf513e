#include "report/run_report.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "report/message.h"
#include "script/settings.h"
#include "script/text_util.h"

RunFacts g_runFacts;

void ResetRunFacts(const char* mode) {
    g_runFacts = RunFacts{};
    g_runFacts.mode = mode;
}

RunItems g_runItems = {nullptr, &g_runItems.items, nullptr, &g_runItems.notExamined, 0};

namespace {

const char* const kKindNames[ITEM_KIND_COUNT] = {
    "file", "process", "thread", "library", "registryKey", "registryValue",
    "iniEntry", "service", "share", "comServer", "command",
};

const char* const kOutcomeNames[OUTCOME_COUNT] = {
    "done", "failed", "wouldDo", "declined", "notSaved", "found", "scheduled",
};

char* CopyOrEmpty(const char* text) {
    if (!text) text = "";
    return CopyText(text, strlen(text));
}

void FreeList(ReportItem* item) {
    while (item) {
        ReportItem* next = item->next;
        free(item->subject);
        free(item->matched);
        free(item->action);
        free(item);
        item = next;
    }
}

ReportItem* NewItem(int32_t kind, const char* subject, const char* matched, const char* action) {
    ReportItem* item = static_cast<ReportItem*>(calloc(1, sizeof(ReportItem)));
    if (!item) return nullptr;
    item->kind = kind;
    item->subject = CopyOrEmpty(subject);
    item->matched = CopyOrEmpty(matched);
    item->action = CopyOrEmpty(action);
    if (!item->subject || !item->matched || !item->action) {
        FreeList(item);
        return nullptr;
    }
    return item;
}

}  // namespace

void FreeRunItems() {
    FreeList(g_runItems.items);
    FreeList(g_runItems.notExamined);
    g_runItems = RunItems{nullptr, &g_runItems.items, nullptr, &g_runItems.notExamined, 0};
}

void RecordItem(int32_t kind, const char* subject, const char* matched, const char* action, int32_t outcome,
                uint32_t error, uint32_t processId, uint32_t threadId) {
    ReportItem* item = NewItem(kind, subject, matched, action);
    if (!item) {
        ++g_runItems.droppedItems;
        return;
    }
    item->outcome = outcome;
    // A file left for the next start keeps the error that kept it now.
    item->error = outcome == OUTCOME_FAILED || outcome == OUTCOME_SCHEDULED ? error : 0;
    item->processId = processId;
    item->threadId = threadId;
    *g_runItems.itemsTail = item;
    g_runItems.itemsTail = &item->next;
}

void RecordNotExamined(int32_t kind, const char* subject, const char* reason, uint32_t error, uint32_t processId) {
    ReportItem* item = NewItem(kind, subject, "", reason);
    if (!item) {
        ++g_runItems.droppedItems;
        return;
    }
    item->error = error;
    item->processId = processId;
    *g_runItems.notExaminedTail = item;
    g_runItems.notExaminedTail = &item->next;
}

bool ReportOnlyRun() { return g_settings.reportOnly != 0; }

void ReportWouldDo(const char* format, ...) {
    char text[REPORT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    ReportMessage(MSG_INFO, "Would %s\r\n", text);
}

char* FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length < 0) return nullptr;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (!text) return nullptr;
    va_start(arguments, format);
    vsnprintf(text, static_cast<size_t>(length) + 1, format, arguments);
    va_end(arguments);
    return text;
}

const char* ItemKindName(int32_t kind) {
    return kind >= 0 && kind < ITEM_KIND_COUNT ? kKindNames[kind] : "unknown";
}

const char* ItemOutcomeName(int32_t outcome) {
    return outcome >= 0 && outcome < OUTCOME_COUNT ? kOutcomeNames[outcome] : "unknown";
}
