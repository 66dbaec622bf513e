// The cheap first test of the file check: does a FILE record accept a path
// by its name or extension. No file access.
#pragma once

struct FileRecord;

// By FileName when the record has one (the text after the last backslash,
// letter case ignored); else by Extensions when it has any (the text from
// the path's last dot, dot included); a record with neither accepts all.
bool FitsNameOrExtension(const FileRecord* record, const char* path);
