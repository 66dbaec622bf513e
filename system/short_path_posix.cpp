// Native stand-in for the short names: a full path of drive C gets each
// name that holds a blank turned into its first six other characters in
// upper case and "~1"; drive D has no short names and answers the path as
// it is; a quote is never part of a name; any other path does not exist.
#include <ctype.h>
#include <string.h>

#include "system/command_line.h"

uint32_t PlatformShortPath(const char* path, char* out, size_t size) {
    if (strchr(path, '"')) return 123;  // the system's "invalid name"
    bool shortNames = strncmp(path, "C:\\", 3) == 0;
    if (!shortNames && strncmp(path, "D:\\", 3) != 0) return 2;  // the system's "file not found"
    size_t written = 0;
    for (const char* name = path; *name;) {
        const char* end = strchr(name, '\\');
        if (!end) end = name + strlen(name);
        size_t length = static_cast<size_t>(end - name);
        bool blank = shortNames && (memchr(name, ' ', length) || memchr(name, '\t', length));
        char shortName[16];
        size_t shortLength = 0;
        if (blank) {
            for (const char* c = name; c < end && shortLength < 6; ++c)
                if (*c != ' ' && *c != '\t') shortName[shortLength++] = static_cast<char>(toupper(*c));
            memcpy(shortName + shortLength, "~1", 2);
            shortLength += 2;
        }
        const char* piece = blank ? shortName : name;
        size_t pieceLength = blank ? shortLength : length;
        if (written + pieceLength + 2 > size) return 206;  // the system's "name too long"
        memcpy(out + written, piece, pieceLength);
        written += pieceLength;
        if (*end) out[written++] = '\\';
        name = *end ? end + 1 : end;
    }
    out[written] = 0;
    return 0;
}
