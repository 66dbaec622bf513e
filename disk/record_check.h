// The record loop of the file check, the same on the running system and on
// a mounted installation: only how the file is opened for its patterns, and
// what happens to it after, belong to the platform.
#pragma once
#include <stdint.h>

#include "script/byte_source.h"

struct FileRecord;

// Opens the checked file for its PATTERNs: answers true with *source set,
// or false with *error the system's error for the report. The opener keeps
// what it opened; its caller closes it after the check.
typedef bool (*PatternOpener)(void* context, ByteSource* source, uint32_t* error);

// Tries the records on the file at path, the newest first: name or
// extension, then size, then PATTERNs, the file opened once, by open, when
// the first record with patterns is reached. The file is shown (status line,
// verbose line, displayName of DISPLAY_NAME_SIZE bytes filled) when a record
// first fits it by name. Answers the first record that fits, or null when
// none does or the file could not be opened: then no other record is tried,
// the file is counted as not examined and the log says so.
FileRecord* FirstFittingRecord(const char* path, FileRecord* files, uint32_t size, unsigned char* scratch,
                               char* displayName, PatternOpener open, void* context);
