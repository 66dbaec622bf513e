#include "disk/file_fit.h"

#include <string.h>

#include "disk/file_record.h"
#include "script/text_util.h"

// The shortest path with an extension worth comparing.
static const size_t kShortestPath = 5;

static bool FitsExtension(const FileRecord* record, const char* path) {
    if (strlen(path) < kShortestPath) return false;
    // The last dot may stand in a directory name; the text compared then
    // holds a backslash and fits no item.
    const char* dot = strrchr(path, '.');
    if (!dot) return false;
    for (int i = 0; i < MAX_EXTENSIONS && record->extensions[i][0]; ++i)
        if (EqualsIgnoreCase(dot, record->extensions[i])) return true;
    return false;
}

bool FitsNameOrExtension(const FileRecord* record, const char* path) {
    if (record->fileName) {
        const char* slash = strrchr(path, '\\');
        return EqualsIgnoreCase(slash ? slash + 1 : path, record->fileName);
    }
    if (record->extensions[0][0]) return FitsExtension(record, path);
    return true;
}
