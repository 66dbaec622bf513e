// What happens to a file the walk matched: store its name, mark the run
// infected, report and count it, ask when the data file says so, then carry
// out the ACTION keyword.
#pragma once
#include <stdint.h>

struct FileRecord;

// Acts on one matched file. path is the full path, displayName the name shown
// in messages and questions, size the file's size in bytes.
void ActOnFile(const char* path, const char* displayName, FileRecord* record, uint32_t size);

// Removes the bytes between the record's action start and end (or length)
// from the file. False when nothing was changed.
bool CutFile(const char* path, FileRecord* record, uint32_t size);

// Answers a plugin's request to act on a file.
uint32_t PluginAction(const char* text, const char* target, void* context);
