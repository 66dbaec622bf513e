// The check of one file the walk found, where the walk listed it.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "disk/listed_place_win.h"

struct FileRecord;

// CheckFile (walk.h) for a file the walk listed at place: opened there, not
// by path. A null place: by path.
bool CheckListedFile(const char* path, const ListedPlace* place, FileRecord* files, uint32_t size,
                     unsigned char* scratch);

// Opens a file for reading with read sharing, as the 9x family's check does.
HANDLE OpenForReading(const char* path);
