// The cheap first test of the file check: does a FILE record accept a path
// by its name or extension. No file access.
#pragma once
#include <stddef.h>

struct FileRecord;

// Where the parts the test compares lie in a path: found in one pass, so
// that a file is looked at once however many records are tried on it.
struct PathParts {
    const char* name;     // after the last backslash; the whole path when it has none
    const char* lastDot;  // null when the path has no dot
    size_t length;
};
void SplitPath(const char* path, PathParts* parts);

// By FileName when the record has one (the text after the last backslash,
// letter case ignored); else by Extensions when it has any (the text from
// the path's last dot, dot included); a record with neither accepts all.
bool FitsNameOrExtension(const FileRecord* record, const PathParts* parts);
bool FitsNameOrExtension(const FileRecord* record, const char* path);
