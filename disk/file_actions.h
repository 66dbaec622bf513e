// What happens to a file the walk matched: store its name, mark the run
// infected, report and count it, ask when the data file says so, then carry
// out the ACTION keyword.
#pragma once
#include <stdint.h>

struct ActionKeyword;
struct ActionRecord;
struct FileRecord;

// The keywords a FILE's ACTION may give, in the order they are tried;
// false past the last.
bool FileKeywordAt(int index, ActionKeyword* keyword);

// The file an action works on, held open by the platform from the check
// until the action is done, so that the action reaches the file that was
// checked even when its path has been made to lead elsewhere meanwhile.
// What it holds is the platform's own. Where the platform acts by path (the
// 9x family, the native build) there is none: a null HeldFile.
struct HeldFile;

// Acts on one matched file. path is the full path, displayName the name shown
// in messages and questions, size the file's size in bytes. held is the file
// the check opened and keeps, or null: the file is then opened here, before
// the question, where the platform acts through open files.
void ActOnFile(const char* path, const char* displayName, FileRecord* record, uint32_t size,
               HeldFile* held = nullptr);

// Removes the bytes between the record's action start and end (or length)
// from the file. False when nothing was changed.
bool CutFile(const char* path, FileRecord* record, uint32_t size, HeldFile* held);

// Answers a plugin's request to act on a file. Nothing stands behind it.
enum { PLUGIN_NOT_HANDLED = 13 };
uint32_t PluginAction(const char* text, const char* target, void* context);

// The pieces of the above that need no file system.

// The text the store step records for a path under the STORE_* flags: the
// file name part, or the whole path with STORE_FULL_PATH; with STORE_NO_EXT
// cut at the first dot of the file name part. A new heap text, or null when
// memory ran out.
char* StoreValueOf(const char* path, uint32_t storeFlags);

// The detail under a file question: the action's message with each
// backslash-n turned into a line feed and each %s into the display name, or
// the type name, " found in file\n" and the display name. A new heap text,
// or null when memory ran out.
char* QuestionDetail(const ActionRecord* action, const char* typeName, const char* displayName);

// The half-open byte range [start, end) a cut removes from a file of the
// given size; end never lies beyond the file. False when the positions name
// a missing or unfound PATTERN, lie outside the file, or give no bytes.
struct CutRange {
    uint32_t start;
    uint32_t end;
};
bool FindCutRange(const FileRecord* record, uint32_t size, CutRange* range);

// Supplied by the platform; each answers true on success. held is the file
// ActOnFile works on, or null to work on the path.
//
// Opens path to be held: null where the platform acts by path. A file that
// cannot be opened is still answered, as one whose every operation fails
// with the open's error.
HeldFile* PlatformHoldFile(const char* path);
// Closes and releases a file PlatformHoldFile answered; null is ignored.
void PlatformReleaseFile(HeldFile* held);
// The open file to read the held file's bytes through (a HANDLE on
// Windows), or null when held is null or the file could not be opened.
void* PlatformOpenFile(HeldFile* held);
// A cut writes the file later: takes write access now, while the file is
// known to be the one checked, where that can be had (a read-only file
// cannot be opened for writing until its attribute is cleared).
void PlatformPrepareToWrite(const char* path, HeldFile* held);
bool PlatformClearAttributes(const char* path, HeldFile* held);
bool PlatformDeleteFile(const char* path, HeldFile* held);
bool PlatformCopyFile(const char* from, const char* to, HeldFile* held);  // replaces an existing file
bool PlatformMoveFile(const char* from, const char* to, HeldFile* held);

// After a delete (destination null) or a move failed because the file is
// in use, leaves the change to Windows at its next start. True when it is
// scheduled; entry then holds the pending operation as it was written, for
// -undo to take back (RESTART_ENTRY_SIZE bytes). False, and nothing
// written, when the path no longer names the file that was checked (or
// nothing at all), or when it cannot be scheduled (a path that is not on a
// drive, a destination that has no short name, no right to write the
// pending operations).
enum { RESTART_ENTRY_SIZE = 600 };
bool PlatformScheduleAtRestart(const char* path, const char* destination, HeldFile* held, char* entry);
// For a report-only run: whether an open that changes nothing shows the
// file in use now, so that a real run would have to leave it for the next
// start.
bool PlatformFileInUse(const char* path);

// Native builds only: the stand-ins touch no file. Each call appends a line
// to g_fileOpTrace ("delete PATH", "copy FROM > TO", ...) and answers false
// when its bit (1 << FileOp) is set in g_failingFileOps. With the bit of
// FILE_OP_HOLD set, PlatformHoldFile answers a file that could not be
// opened (and notes nothing). Only with the bit of FILE_OP_IN_USE set is the
// file in use: PlatformFileInUse says so and PlatformScheduleAtRestart
// notes "restart delete PATH" or "restart move FROM > TO" (answering false
// when FILE_OP_SCHEDULE is set too); without it neither notes anything and
// nothing can be scheduled.
enum FileOp {
    FILE_OP_ATTRIBUTES,
    FILE_OP_DELETE,
    FILE_OP_COPY,
    FILE_OP_MOVE,
    FILE_OP_CUT,
    FILE_OP_HOLD,
    FILE_OP_IN_USE,
    FILE_OP_SCHEDULE
};
enum { FILE_OP_TRACE_SIZE = 4096 };
extern char g_fileOpTrace[FILE_OP_TRACE_SIZE];
extern uint32_t g_failingFileOps;
