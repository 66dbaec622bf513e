#include "disk/file_actions.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "script/settings.h"
#include "disk/file_record.h"
#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_keyword.h"
#include "script/action_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "script/store.h"
#include "script/text_util.h"
#include "script/undo_saving.h"

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

bool IsVirusData() { return g_threatType == THREAT_VIRUS; }

// Where the file name part of a path starts: after its last backslash.
size_t NameStart(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash ? (size_t)(slash - path) + 1 : 0;
}

// Each action answers whether it changed the file, and the Windows error
// code when it failed.
bool DeleteAction(const char* path, FileRecord* record, uint32_t size, HeldFile* held, uint32_t* error) {
    if (PlatformDeleteFile(path, held)) {
        ReportMessage(MSG_INFO, "File deleted\r\n\r\n");
        CountEvent(EVENT_FILE_DELETED);
        return true;
    }
    *error = PlatformLastError();
    ReportMessage(MSG_INFO, "File deletion failed\r\n\r\n");
    return false;
}

// A copy leaves the file as it is: it answers false even when it worked,
// and tells its own outcome through *error (0 when the copy was made).
bool CopyAction(const char* path, FileRecord* record, uint32_t size, HeldFile* held, uint32_t* error) {
    const char* destination = record->action->destination;
    ReportMessage(MSG_INFO, "Copying %s to %s\r\n", path, destination);
    if (!PlatformCopyFile(path, destination, held)) {
        *error = PlatformLastError();
        ReportMessage(MSG_INFO, "Could not copy file\r\n");
    }
    return false;
}

bool CutAction(const char* path, FileRecord* record, uint32_t size, HeldFile* held, uint32_t* error) {
    if (CutFile(path, record, size, held)) {
        CountEvent(EVENT_FILE_CHANGED);
        ReportMessage(MSG_INFO, IsVirusData() ? "File disinfected\r\n" : "File modified\r\n");
        return true;
    }
    ReportMessage(MSG_INFO, IsVirusData() ? "Could not disinfect file\r\n" : "Could not modify file\r\n");
    return false;
}

bool MoveAction(const char* path, FileRecord* record, uint32_t size, HeldFile* held, uint32_t* error) {
    const char* destination = record->action->destination;
    PlatformClearAttributes(destination, nullptr);
    ReportMessage(MSG_INFO, "Moving %s to %s\r\n", path, destination);
    if (PlatformMoveFile(path, destination, held)) return true;
    *error = PlatformLastError();
    ReportMessage(MSG_INFO, "Could not move file\r\n");
    return false;
}

// The store step has already done the work of "store".
bool StoreAction(const char*, FileRecord*, uint32_t, HeldFile*, uint32_t*) { return false; }

// What a report-only run says in place of each action.
void WouldDelete(const char* path, const FileRecord* record, uint32_t size) { ReportWouldDo("delete file %s", path); }

void WouldCopy(const char* path, const FileRecord* record, uint32_t size) {
    ReportWouldDo("copy %s to %s", path, record->action->destination);
}

void WouldCut(const char* path, const FileRecord* record, uint32_t size) {
    const char* verb = IsVirusData() ? "disinfect" : "modify";
    CutRange range;
    if (FindCutRange(record, size, &range))
        ReportWouldDo("%s file %s by removing bytes %lu to %lu", verb, path, static_cast<unsigned long>(range.start),
                      static_cast<unsigned long>(range.end) - 1);
    else
        ReportWouldDo("%s file %s, but the ACTION names no bytes in it", verb, path);
}

void WouldMove(const char* path, const FileRecord* record, uint32_t size) {
    ReportWouldDo("move %s to %s", path, record->action->destination);
}

enum { NOT_SAVED = -1 };

// What a row leaves to Windows at its next start when the file is in use:
// the line that says so, or null where it cannot wait (a cut's bytes cannot
// be cleaned while Windows starts).
struct AtRestart {
    const char* scheduledLine;
    const char* wouldLine;  // a report-only run's, after its "Would ..." line
};
const AtRestart kDeleteAtRestart = {"File will be removed when Windows restarts\r\n",
                                    "remove the file when Windows restarts, since it is in use"};
const AtRestart kMoveAtRestart = {"File will be moved when Windows restarts\r\n",
                                  "move the file when Windows restarts, since it is in use"};

struct KeywordRow {
    const char* keyword;  // compared without regard to case
    bool needsDestination;
    bool announced;  // collecting keywords find files without a found message
    int undoChange;  // how the file is saved for undo first, or NOT_SAVED
    bool (*act)(const char* path, FileRecord* record, uint32_t size, HeldFile* held, uint32_t* error);
    // A report-only run's line instead; null where nothing would change.
    void (*would)(const char* path, const FileRecord* record, uint32_t size);
    const AtRestart* atRestart;  // null: a failure stays a failure
    const char* effect;
};

const KeywordRow kKeywords[] = {
    {"delete", false, true, UNDO_SAVE_DELETE, DeleteAction, WouldDelete, &kDeleteAtRestart, "deletes the file"},
    {"copy", true, false, NOT_SAVED, CopyAction, WouldCopy, nullptr,
     "copies the file to destination, replacing a file there"},
    {"cut", false, true, UNDO_SAVE_CUT, CutAction, WouldCut, nullptr,
     "removes the bytes from start to end (or length bytes from start) out of the file"},
    {"move", true, false, UNDO_SAVE_MOVE, MoveAction, WouldMove, &kMoveAtRestart, "moves the file to destination"},
    {"store", false, false, NOT_SAVED, StoreAction, nullptr, nullptr,
     "only keeps the file's name in the store; the file stays"},
};

// The Windows errors of a file that another program has open or locked, or
// that Windows will not let go of while it runs (a loaded program or
// library answers access denied): the errors a restart can get past. The
// platform makes sure an access denied is not about a file that is gone.
const uint32_t kInUseErrors[] = {5 /* access denied */, 32 /* sharing violation */, 33 /* lock violation */};

bool InUseError(uint32_t error) {
    for (uint32_t e : kInUseErrors)
        if (error == e) return true;
    return false;
}

// Saves the file for undo before a row that changes it, reading it through
// the held file where there is one. False when the saving failed: the file
// is then left as it is.
bool SavedForUndo(const char* path, const KeywordRow* row, const ActionRecord* action, HeldFile* held) {
    if (!row || row->undoChange == NOT_SAVED || (row->needsDestination && !action->destination)) return true;
    if (SaveFileForUndo(path, row->undoChange, action->destination, PlatformOpenFile(held))) return true;
    ReportMessage(MSG_INFO, "File left unchanged: could not save it for undo (%s)\r\n\r\n", UndoSaveProblem());
    return false;
}

const KeywordRow* FindKeyword(const char* keyword) {
    for (const KeywordRow& row : kKeywords)
        if (EqualsIgnoreCase(keyword, row.keyword)) return &row;
    return nullptr;
}

}  // namespace

bool FileKeywordAt(int index, ActionKeyword* keyword) {
    if (index < 0 || index >= static_cast<int>(sizeof kKeywords / sizeof kKeywords[0])) return false;
    *keyword = ActionKeyword{kKeywords[index].keyword, "FILE", 1, kKeywords[index].effect};
    return true;
}

namespace {

void StorePath(const char* path, const ActionRecord* action) {
    char* value = StoreValueOf(path, action->storeFlags);
    if (!value) return;  // out of memory: the step is skipped quietly
    AddToStore(action->storeName, value, (action->storeFlags & STORE_LIST) ? 1 : 0);
    free(value);
}

void AnnounceFind(const char* path, const FileRecord* record) {
    const char* typeName = OrEmpty(record->typeName);
    if (record->virusName && *record->virusName)
        ReportMessage(MSG_INFO, "\r\n>>>%s '%s' found in file %s\r\n", typeName, record->virusName, path);
    else
        ReportMessage(MSG_INFO, "\r\n>>>%s found in file %s\r\n", typeName, path);
    CountEvent(EVENT_FILE_FOUND);
}

bool UserAgrees(const ActionRecord* action, const FileRecord* record, const char* displayName) {
    if (g_settings.confirmation == 0 || !action->confirm) return true;
    char* detail = QuestionDetail(action, record->typeName, displayName);
    // Short of memory the question still comes, only without its detail.
    int answer = AskConfirmation(action->confirm, detail ? detail : "");
    free(detail);
    return answer == 'Y' || answer == 'y';
}

// The base a position counts from: where PATTERN n was found for origin
// 16 + n, the file size for the end origin where it applies, else 0.
bool PositionBase(const FileRecord* record, int32_t origin, int64_t endBase, int64_t* base) {
    if (origin < ORIGIN_PATTERN) {
        *base = origin == ORIGIN_END ? endBase : 0;
        return true;
    }
    const PatternRecord* pattern = record->patterns;
    for (int32_t n = origin - ORIGIN_PATTERN; pattern && n > 0; --n) pattern = pattern->next;
    if (!pattern || pattern->found == PATTERN_NOT_FOUND) return false;
    *base = pattern->found;
    return true;
}

}  // namespace

char* StoreValueOf(const char* path, uint32_t storeFlags) {
    size_t nameStart = NameStart(path);
    size_t end = strlen(path);
    if (storeFlags & STORE_NO_EXT) {
        const char* dot = strchr(path + nameStart, '.');
        if (dot) end = (size_t)(dot - path);
    }
    size_t start = (storeFlags & STORE_FULL_PATH) ? 0 : nameStart;
    return CopyText(path + start, end - start);
}

char* QuestionDetail(const ActionRecord* action, const char* typeName, const char* displayName) {
    displayName = OrEmpty(displayName);
    if (!action->message) {
        static const char kFound[] = " found in file\n";
        typeName = OrEmpty(typeName);
        size_t typeLength = strlen(typeName), nameLength = strlen(displayName);
        char* detail = (char*)malloc(typeLength + sizeof kFound - 1 + nameLength + 1);
        if (!detail) return nullptr;
        memcpy(detail, typeName, typeLength);
        memcpy(detail + typeLength, kFound, sizeof kFound - 1);
        memcpy(detail + typeLength + sizeof kFound - 1, displayName, nameLength + 1);
        return detail;
    }
    // Measure first, then fill: a %s may make the text longer.
    const char* message = action->message;
    size_t nameLength = strlen(displayName);
    size_t length = 0;
    for (const char* c = message; *c; ++c) {
        if (c[0] == '%' && c[1] == 's') {
            length += nameLength;
            ++c;
        } else {
            if (c[0] == '\\' && c[1] == 'n') ++c;
            ++length;
        }
    }
    char* detail = (char*)malloc(length + 1);
    if (!detail) return nullptr;
    char* out = detail;
    for (const char* c = message; *c; ++c) {
        if (c[0] == '%' && c[1] == 's') {
            memcpy(out, displayName, nameLength);
            out += nameLength;
            ++c;
        } else if (c[0] == '\\' && c[1] == 'n') {
            *out++ = '\n';
            ++c;
        } else {
            *out++ = *c;
        }
    }
    *out = 0;
    return detail;
}

bool FindCutRange(const FileRecord* record, uint32_t size, CutRange* range) {
    const ActionRecord* action = record->action;
    if (!action) return false;
    // Sixty-four bits, so that no offset can wrap a position back into the
    // file and cut bytes nobody named.
    int64_t base;
    if (!PositionBase(record, action->start.origin, 0, &base)) return false;
    int64_t start = base + action->start.offset;
    int64_t end;
    if (action->length != 0) {
        end = start + action->length;
    } else {
        if (!PositionBase(record, action->end.origin, size, &base)) return false;
        end = base + action->end.offset;
    }
    if (end > (int64_t)size) end = size;  // a range running past the end stops there
    if (start < 0 || start >= end) return false;
    range->start = (uint32_t)start;
    range->end = (uint32_t)end;
    return true;
}

uint32_t PluginAction(const char* text, const char* target, void* context) { return PLUGIN_NOT_HANDLED; }

namespace {

char* MatchedText(const FileRecord* record) {
    char what[MAX_EXTENSIONS * EXTENSION_SIZE + 16] = "any file";
    if (record->fileName) {
        snprintf(what, sizeof what, "FileName %s", record->fileName);
    } else if (record->extensions[0][0]) {
        strcpy(what, "Extensions");
        for (int i = 0; i < MAX_EXTENSIONS && record->extensions[i][0]; ++i) {
            strcat(what, " ");
            strcat(what, record->extensions[i]);
        }
    }
    int patterns = 0;
    for (const PatternRecord* p = record->patterns; p; p = p->next) ++patterns;
    char size[32] = "";
    if (record->size) snprintf(size, sizeof size, ", Size %lu", static_cast<unsigned long>(record->size));
    char count[32] = "";
    if (patterns) snprintf(count, sizeof count, ", %d PATTERN%s", patterns, patterns == 1 ? "" : "s");
    return FormatText("%s%s%s", what, size, count);
}

void RecordFile(const char* path, const FileRecord* record, int32_t outcome, uint32_t error) {
    char* matched = MatchedText(record);
    RecordItem(ITEM_FILE, path, matched, record->action->keyword, outcome, error);
    free(matched);
}

// The outcome of a row's work: a copy tells it through the error alone.
int32_t OutcomeOfRow(const KeywordRow* row, bool changed, uint32_t error) {
    if (row->act == CopyAction) return error ? OUTCOME_FAILED : OUTCOME_DONE;
    if (row->act == StoreAction) return OUTCOME_FOUND;
    return OutcomeOf(changed);
}

// After the row's work failed with error: leaves a file in use to Windows
// at its next start where the row allows, says so and counts it. True when
// it was scheduled, with its pending operation in entry.
bool LeftForRestart(const char* path, const ActionRecord* action, const KeywordRow* row, HeldFile* held,
                    uint32_t error, char* entry) {
    if (!row->atRestart || !InUseError(error)) return false;
    const char* destination = row->needsDestination ? action->destination : nullptr;
    if (!PlatformScheduleAtRestart(path, destination, held, entry)) return false;
    ReportMessage(MSG_INFO, "%s", row->atRestart->scheduledLine);
    ++g_filesScheduled;
    return true;
}

// ActOnFile from the question on, with the file held as the platform holds it.
void ActOnHeldFile(const char* path, const char* displayName, FileRecord* record, uint32_t size,
                   const KeywordRow* row, HeldFile* held, bool reportOnly) {
    const ActionRecord* action = record->action;
    // A report-only run asks nothing: it changes nothing whatever the answer.
    if (!reportOnly && !UserAgrees(action, record, displayName)) {
        if (action->keyword) RecordFile(path, record, OUTCOME_DECLINED, 0);
        return;
    }
    if (!action->keyword) return;
    if (row && row->needsDestination && !action->destination) row = nullptr;
    if (reportOnly) {
        if (row && row->would) row->would(path, record, size);
        if (row && row->atRestart && PlatformFileInUse(path)) ReportWouldDo("%s", row->atRestart->wouldLine);
        RecordFile(path, record, row && row->would ? OUTCOME_WOULD : OUTCOME_FOUND, 0);
        return;
    }
    // A file that could not be opened is not changed: there is nothing to
    // save, and each operation below fails with the open's error.
    bool opened = !held || PlatformOpenFile(held);
    if (opened && !SavedForUndo(path, row, action, held)) {
        RecordFile(path, record, OUTCOME_NOT_SAVED, 0);
        return;
    }

    PlatformClearAttributes(path, held);
    if (row) {
        uint32_t error = 0;
        bool changed = row->act(path, record, size, held, &error);
        // Only a file that was saved (or needs no saving) waits for the next
        // start: -undo must be able to bring back what Windows removes then.
        char entry[RESTART_ENTRY_SIZE] = "";
        bool scheduled = !changed && opened && LeftForRestart(path, action, row, held, error, entry);
        if (opened && row->undoChange != NOT_SAVED) {
            if (scheduled)
                UndoChangeScheduled(entry);
            else
                UndoChangeDone(changed);
        }
        RecordFile(path, record, scheduled ? OUTCOME_SCHEDULED : OutcomeOfRow(row, changed, error), error);
    } else {
        // Nothing stands behind a keyword of no row: the file stays.
        PluginAction(action->keyword, path, record);
        RecordFile(path, record, OUTCOME_FOUND, 0);
    }
}

}  // namespace

void ActOnFile(const char* path, const char* displayName, FileRecord* record, uint32_t size, HeldFile* held) {
    if (!path || !record || !record->action) return;
    const ActionRecord* action = record->action;
    bool reportOnly = ReportOnlyRun();

    if (action->storeName) StorePath(path, action);
    if (action->setInfected == 1) MarkInfected();

    const KeywordRow* row = action->keyword ? FindKeyword(action->keyword) : nullptr;
    if (action->keyword && (!row || row->announced)) AnnounceFind(path, record);

    // Every keyword at least clears the file's attributes: the file is held
    // from here, before the question, so that what is changed after it is
    // the file that was found.
    HeldFile* ownHeld = nullptr;
    if (!reportOnly && action->keyword && !held) held = ownHeld = PlatformHoldFile(path);
    if (!reportOnly && row && row->act == CutAction) PlatformPrepareToWrite(path, held);
    ActOnHeldFile(path, displayName, record, size, row, held, reportOnly);
    PlatformReleaseFile(ownHeld);
}
