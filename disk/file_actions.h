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

// Acts on one matched file. path is the full path, displayName the name shown
// in messages and questions, size the file's size in bytes.
void ActOnFile(const char* path, const char* displayName, FileRecord* record, uint32_t size);

// Removes the bytes between the record's action start and end (or length)
// from the file. False when nothing was changed.
bool CutFile(const char* path, FileRecord* record, uint32_t size);

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

// Supplied by the platform; each answers true on success.
bool PlatformClearAttributes(const char* path);
bool PlatformDeleteFile(const char* path);
bool PlatformCopyFile(const char* from, const char* to);  // replaces an existing file
bool PlatformMoveFile(const char* from, const char* to);

// Native builds only: the stand-ins touch no file. Each call appends a line
// to g_fileOpTrace ("delete PATH", "copy FROM > TO", ...) and answers false
// when its bit (1 << FileOp) is set in g_failingFileOps.
enum FileOp { FILE_OP_ATTRIBUTES, FILE_OP_DELETE, FILE_OP_COPY, FILE_OP_MOVE, FILE_OP_CUT };
enum { FILE_OP_TRACE_SIZE = 4096 };
extern char g_fileOpTrace[FILE_OP_TRACE_SIZE];
extern uint32_t g_failingFileOps;
