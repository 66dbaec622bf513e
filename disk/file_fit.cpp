#include "disk/file_fit.h"

#include "disk/file_record.h"
#include "script/text_util.h"

// The shortest path with an extension worth comparing.
static const size_t kShortestPath = 5;

static bool FitsExtension(const FileRecord* record, const PathParts* parts) {
    if (parts->length < kShortestPath) return false;
    // The last dot may stand in a directory name; the text compared then
    // holds a backslash and fits no item.
    if (!parts->lastDot) return false;
    for (int i = 0; i < MAX_EXTENSIONS && record->extensions[i][0]; ++i)
        if (EqualsIgnoreCase(parts->lastDot, record->extensions[i])) return true;
    return false;
}

void SplitPath(const char* path, PathParts* parts) {
    parts->name = path;
    parts->lastDot = nullptr;
    const char* at = path;
    for (; *at; ++at) {
        if (*at == '\\')
            parts->name = at + 1;
        else if (*at == '.')
            parts->lastDot = at;
    }
    parts->length = static_cast<size_t>(at - path);
}

bool FitsNameOrExtension(const FileRecord* record, const PathParts* parts) {
    if (record->fileName) return EqualsIgnoreCase(parts->name, record->fileName);
    if (record->extensions[0][0]) return FitsExtension(record, parts);
    return true;
}

bool FitsNameOrExtension(const FileRecord* record, const char* path) {
    PathParts parts;
    SplitPath(path, &parts);
    return FitsNameOrExtension(record, &parts);
}
