// The file check: name or extension, size, then PATTERNs, the newest FILE
// record first; the file that fits is handed to its action.
#include "disk/file_check_win.h"

#include <windows.h>

#include "disk/display_name.h"
#include "disk/file_actions.h"
#include "disk/file_record.h"
#include "disk/handle_byte_source_win.h"
#include "disk/held_file_win.h"
#include "disk/nt_family_win.h"
#include "disk/record_check.h"
#include "disk/walk.h"
#include "report/run_report.h"
#include "script/action_record.h"

namespace {

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

// The file the record check opens for its patterns, where it was listed.
struct PatternOpening {
    const char* path;
    const ListedPlace* place;
    CheckedFile* checked;
};

bool OpenForPatterns(void* context, ByteSource* source, uint32_t* error) {
    PatternOpening* opening = static_cast<PatternOpening*>(context);
    if (!OpenChecked(opening->path, opening->place, opening->checked)) {
        *error = GetLastError();
        return false;
    }
    *source = HandleByteSource(opening->checked->file.handle);
    return true;
}

}  // namespace

bool CheckListedFile(const char* path, const ListedPlace* place, FileRecord* files, uint32_t size,
                     unsigned char* scratch) {
    char displayName[DISPLAY_NAME_SIZE];
    CheckedFile checked = {false, {INVALID_HANDLE_VALUE, 0, {}, false, 0, {}}};
    HANDLE& file = checked.file.handle;
    PatternOpening opening = {path, place, &checked};
    FileRecord* fitted = FirstFittingRecord(path, files, size, scratch, displayName, OpenForPatterns, &opening);
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
