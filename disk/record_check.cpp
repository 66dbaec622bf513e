#include "disk/record_check.h"

#include "disk/display_name.h"
#include "disk/file_fit.h"
#include "disk/file_record.h"
#include "disk/walk.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/match_pattern.h"

uint32_t g_filesOpenedForPatterns = 0;

namespace {

// Every PATTERN of the record in list order, each keeping where it was found.
bool PatternsFit(const ByteSource* source, FileRecord* record, unsigned char* scratch) {
    for (PatternRecord* p = record->patterns; p; p = p->next) {
        p->found = MatchPattern(source, p, scratch, record->patterns);
        if (p->found == PATTERN_NOT_FOUND) return false;
    }
    return true;
}

}  // namespace

FileRecord* FirstFittingRecord(const char* path, FileRecord* files, uint32_t size, unsigned char* scratch,
                               char* displayName, PatternOpener open, void* context) {
    bool shown = false, opened = false;
    ByteSource source = {};
    PathParts parts;
    SplitPath(path, &parts);
    for (FileRecord* record = files; record; record = record->next) {
        if (!FitsNameOrExtension(record, &parts)) continue;
        if (!shown) {
            MakeDisplayName(path, displayName);
            ReportMessage(MSG_STATUS, "%s\r\n", displayName);
            ReportMessage(MSG_VERBOSE | MSG_INFO, "%s\r\n", path);
            shown = true;
        }
        if (record->size != 0 && record->size != size) continue;
        if (record->patterns) {
            if (!opened) {
                uint32_t error = 0;
                if (!open(context, &source, &error)) {
                    // No other record is tried: the file counts as not found,
                    // and the report says it was never looked into.
                    RecordNotExamined(ITEM_FILE, path, "could not be opened for its pattern check", error);
                    ReportMessage(MSG_NO_LIST | MSG_INFO, "Error opening file %s\r\n\r\n", path);
                    return nullptr;
                }
                opened = true;
                ++g_filesOpenedForPatterns;
            }
            if (!PatternsFit(&source, record, scratch)) continue;
        }
        return record;
    }
    return nullptr;
}
