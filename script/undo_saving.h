// Saving before changing: each action site that changes the machine first
// asks for what it is about to change to be saved in the run's undo journal,
// and makes the change only when that answer is yes. Afterwards it says
// whether the change was made, so that the journal keeps only changes that
// happened. With no saver installed (-noundo, the data-file tool, native
// tests) every answer is yes and nothing is saved.
#pragma once
#include <stdint.h>

struct UndoSaving {
    // Each answers false, with the reason in the journal's last problem
    // text, when the saving failed.
    // file: the file held open for the change (a HANDLE on Windows), whose
    // bytes are read through it; null to read the file at path.
    bool (*saveFile)(const char* path, int change, const char* destination, void* file);
    bool (*saveRegistryValue)(uint32_t root, const char* key, const char* name, bool reset, uint32_t newType,
                              const uint8_t* newData, uint32_t newSize);
    bool (*saveRegistryKey)(uint32_t root, const char* key);
    bool (*saveIniEntry)(const char* file, const char* section, const char* name, const char* newText);
    bool (*saveService)(const char* name);
    void (*changeDone)(bool made);
    const char* (*lastProblem)();
    // The change could not be made now and was left to Windows at its next
    // start: entry is the pending operation as it was written, which -undo
    // takes back out. The change counts as made.
    void (*changeScheduled)(const char* entry);
};

extern const UndoSaving* g_undoSaving;

// Kinds of file change, as saveFile takes them.
enum { UNDO_SAVE_DELETE, UNDO_SAVE_MOVE, UNDO_SAVE_CUT };

// The hooks the action sites call.
bool SaveFileForUndo(const char* path, int change, const char* destination, void* file);
// newData null: the value is to be deleted; else it is to be reset to it.
bool SaveRegistryValueForUndo(uint32_t root, const char* key, const char* name, uint32_t newType,
                              const uint8_t* newData, uint32_t newSize);
bool SaveRegistryKeyForUndo(uint32_t root, const char* key);
// newText null: the entry is to be deleted.
bool SaveIniEntryForUndo(const char* file, const char* section, const char* name, const char* newText);
bool SaveServiceForUndo(const char* name);
void UndoChangeDone(bool made);
// Said in place of UndoChangeDone when the change waits for the next start.
void UndoChangeScheduled(const char* entry);
// Why the last save failed.
const char* UndoSaveProblem();
