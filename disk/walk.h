// The directory walk of a DISK element: every file below every directory of
// the directory list, checked against the element's FILE records.
#pragma once
#include <stdint.h>

#include "script/parse_context.h"

struct FileRecord;

// A full path has at most WALK_PATH_LIMIT characters; its buffer also holds
// the "\*" of a search and the terminator.
enum { WALK_PATH_LIMIT = 260, WALK_PATH_SIZE = 264 };

// Walks the whole directory list ("C:" when it is empty) with the FILE list.
void ScanDirectories(ParseContext* context, FileRecord* files);
// The shared part of ScanDirectories: scan is called with each entry of the
// directory list in order, or once with wholeDrive when the list is empty;
// topOnly when the entry was given with subfolders="no". scratch holds
// MATCH_BUFFER_SIZE bytes for the pattern matches.
typedef void (*EntryScanner)(const char* entry, bool topOnly, FileRecord* files, unsigned char* scratch);
void ScanDirectoryList(ParseContext* context, FileRecord* files, const char* wholeDrive, EntryScanner scan);
// Walks one directory tree, depth first. scratch holds MATCH_BUFFER_SIZE
// bytes for the pattern matches.
void WalkDirectory(const char* directory, FileRecord* files, unsigned char* scratch);
// Tries the records on one file, the newest first, and acts on the file with
// the first that fits. Answers whether one fitted.
bool CheckFile(const char* path, FileRecord* files, uint32_t size, unsigned char* scratch);

// Files opened for their patterns since the program started: the benchmark
// reads it to show that only files past name, extension and size are opened.
extern uint32_t g_filesOpenedForPatterns;
