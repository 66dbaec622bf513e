// The file check: name or extension, size, then PATTERNs, the newest FILE
// record first; the file that fits is handed to its action.
#include "disk/file_check_win.h"

#include <windows.h>

#include "disk/display_name.h"
#include "disk/file_actions.h"
#include "disk/file_fit.h"
#include "disk/file_record.h"
#include "disk/handle_byte_source_win.h"
#include "disk/held_file_win.h"
#include "disk/nt_family_win.h"
#include "disk/walk.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
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

// The file a check opens. On the NT family it is held, opened where the
// walk listed it, and kept for the action; on the 9x family it is opened by
// path for its patterns and closed before the action, which works on the
// path there.
struct CheckedFile {
    bool held;
    HeldFile file;
};

bool OpenChecked(const char* path, const ListedPlace* place, CheckedFile* checked) {
    checked->held = OnNtFamily();
    if (checked->held) return OpenHeldFile(path, &checked->file, place);
    checked->file.handle = OpenForReading(path);
    return checked->file.handle != INVALID_HANDLE_VALUE;
}

}  // namespace

bool CheckListedFile(const char* path, const ListedPlace* place, FileRecord* files, uint32_t size,
                     unsigned char* scratch) {
    char displayName[DISPLAY_NAME_SIZE];
    bool shown = false;
    CheckedFile checked = {false, {INVALID_HANDLE_VALUE, 0, {}, false, 0, {}}};
    HANDLE& file = checked.file.handle;
    ByteSource source = HandleByteSource(nullptr);
    FileRecord* fitted = nullptr;
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
            if (file == INVALID_HANDLE_VALUE) {
                if (!OpenChecked(path, place, &checked)) {
                    // No other record is tried: the file counts as not found,
                    // and the report says it was never looked into.
                    RecordNotExamined(ITEM_FILE, path, "could not be opened for its pattern check", GetLastError());
                    ReportMessage(MSG_NO_LIST | MSG_INFO, "Error opening file %s\r\n\r\n", path);
                    return false;
                }
                ++g_filesOpenedForPatterns;
                source = HandleByteSource(file);
            }
            if (!PatternsFit(&source, record, scratch)) continue;
        }
        fitted = record;
        break;
    }
    // Fitted by name and size alone, a file the action will change is
    // opened now, where it was listed: the action reaches it there, or fails
    // as the open did. A report-only run changes nothing.
    if (fitted && fitted->action && fitted->action->keyword && file == INVALID_HANDLE_VALUE && OnNtFamily() &&
        !ReportOnlyRun())
        OpenChecked(path, place, &checked);
    if (fitted && checked.held) {
        ActOnFile(path, displayName, fitted, size, &checked.file);
        LetGoOfFile(&checked.file);
        return true;
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!fitted) return false;
    ActOnFile(path, displayName, fitted, size);
    return true;
}

HANDLE OpenForReading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool CheckFile(const char* path, FileRecord* files, uint32_t size, unsigned char* scratch) {
    return CheckListedFile(path, nullptr, files, size, scratch);
}
