// Native stand-ins for the file operations: they change nothing, note each
// call in order, and fail on request, so the decisions around them can be
// tested without a Windows file system.
#include <stdio.h>
#include <string.h>

#include "disk/file_actions.h"

char g_fileOpTrace[FILE_OP_TRACE_SIZE];
uint32_t g_failingFileOps = 0;

namespace {

bool Note(FileOp op, const char* name, const char* from, const char* to) {
    size_t used = strlen(g_fileOpTrace);
    if (to)
        snprintf(g_fileOpTrace + used, sizeof g_fileOpTrace - used, "%s %s > %s\n", name, from, to);
    else
        snprintf(g_fileOpTrace + used, sizeof g_fileOpTrace - used, "%s %s\n", name, from);
    return !(g_failingFileOps & (1u << op));
}

}  // namespace

// The only file the stand-ins hold: one that could not be opened. Without
// it every operation works on the path, as on the 9x family.
struct HeldFile {
    bool open;
};
HeldFile g_notOpened = {false};

namespace {

// An operation on a file that could not be opened fails whatever its bit.
bool Reaches(const HeldFile* held) { return !held || held->open; }

}  // namespace

HeldFile* PlatformHoldFile(const char* path) {
    return (g_failingFileOps & (1u << FILE_OP_HOLD)) ? &g_notOpened : nullptr;
}
void PlatformReleaseFile(HeldFile*) {}
void* PlatformOpenFile(HeldFile*) { return nullptr; }
void PlatformPrepareToWrite(const char*, HeldFile*) {}

bool PlatformClearAttributes(const char* path, HeldFile* held) {
    return Note(FILE_OP_ATTRIBUTES, "attributes", path, nullptr) && Reaches(held);
}
bool PlatformDeleteFile(const char* path, HeldFile* held) {
    return Note(FILE_OP_DELETE, "delete", path, nullptr) && Reaches(held);
}
bool PlatformCopyFile(const char* from, const char* to, HeldFile*) { return Note(FILE_OP_COPY, "copy", from, to); }
bool PlatformMoveFile(const char* from, const char* to, HeldFile* held) {
    return Note(FILE_OP_MOVE, "move", from, to) && Reaches(held);
}

bool PlatformFileInUse(const char*) { return (g_failingFileOps & (1u << FILE_OP_IN_USE)) != 0; }

// Only a file in use can be left for the next start. The entry is the
// trace's own line, so that a test sees what undo would be told.
bool PlatformScheduleAtRestart(const char* path, const char* destination, HeldFile* held, char* entry) {
    if (!PlatformFileInUse(path) || !Reaches(held)) return false;
    bool scheduled = destination ? Note(FILE_OP_SCHEDULE, "restart move", path, destination)
                                 : Note(FILE_OP_SCHEDULE, "restart delete", path, nullptr);
    if (scheduled) snprintf(entry, RESTART_ENTRY_SIZE, "%s%s%s", path, destination ? " > " : "", destination ? destination : "");
    return scheduled;
}

// The range is worked out as the real cut does, so a range the cut would
// refuse fails here too.
bool CutFile(const char* path, FileRecord* record, uint32_t size, HeldFile* held) {
    CutRange range;
    bool found = FindCutRange(record, size, &range);
    char what[48];
    if (found)
        snprintf(what, sizeof what, "cut %lX-%lX", (unsigned long)range.start, (unsigned long)range.end);
    else
        snprintf(what, sizeof what, "cut none");
    return Note(FILE_OP_CUT, what, path, nullptr) && found && Reaches(held);
}
