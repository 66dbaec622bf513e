#include "script/undo_saving.h"

const UndoSaving* g_undoSaving = nullptr;

bool SaveFileForUndo(const char* path, int change, const char* destination, void* file) {
    return !g_undoSaving || g_undoSaving->saveFile(path, change, destination, file);
}

bool SaveRegistryValueForUndo(uint32_t root, const char* key, const char* name, uint32_t newType,
                              const uint8_t* newData, uint32_t newSize) {
    return !g_undoSaving ||
           g_undoSaving->saveRegistryValue(root, key, name, newData != nullptr, newType, newData, newSize);
}

bool SaveRegistryKeyForUndo(uint32_t root, const char* key) {
    return !g_undoSaving || g_undoSaving->saveRegistryKey(root, key);
}

bool SaveIniEntryForUndo(const char* file, const char* section, const char* name, const char* newText) {
    return !g_undoSaving || g_undoSaving->saveIniEntry(file, section, name, newText);
}

bool SaveServiceForUndo(const char* name) { return !g_undoSaving || g_undoSaving->saveService(name); }

void UndoChangeDone(bool made) {
    if (g_undoSaving) g_undoSaving->changeDone(made);
}

void UndoChangeScheduled(const char* entry) {
    if (g_undoSaving && g_undoSaving->changeScheduled) g_undoSaving->changeScheduled(entry);
}

const char* UndoSaveProblem() { return g_undoSaving ? g_undoSaving->lastProblem() : ""; }
