#include "disk/display_name.h"

#include <string.h>

namespace {

// A first directory name longer than this is left out with the rest.
const size_t kFirstNameRoom = 20;
const char kEllipsis[] = "...";
const size_t kEllipsisLength = 3;

// Appends up to length bytes of text, stopping at room bytes in all.
void Append(char* out, size_t* used, size_t room, const char* text, size_t length) {
    size_t take = *used + length > room ? room - *used : length;
    memcpy(out + *used, text, take);
    *used += take;
}

}  // namespace

void MakeDisplayName(const char* path, char* out) {
    size_t length = strlen(path);
    const char* head = path;
    size_t headLength = length;
    const char* tail = "";
    size_t tailLength = 0;
    bool shortened = false;

    if (length > DISPLAY_NAME_LIMIT) {
        const char* q = strchr(path, '\\');
        const char* r = q ? strchr(q + 1, '\\') : nullptr;
        if (r) {
            const char* keep = static_cast<size_t>(r - q) > kFirstNameRoom ? q : r;
            headLength = static_cast<size_t>(keep - path) + 1;
            tail = strrchr(path, '\\');
            tailLength = strlen(tail);
            shortened = true;
        }
    }

    size_t total = headLength + (shortened ? kEllipsisLength : 0) + tailLength;
    // Too long even so: the first characters and a closing ellipsis.
    size_t limit = DISPLAY_NAME_LIMIT;
    size_t room = total > limit ? limit - kEllipsisLength : limit;
    size_t used = 0;
    Append(out, &used, room, head, headLength);
    if (shortened) Append(out, &used, room, kEllipsis, kEllipsisLength);
    Append(out, &used, room, tail, tailLength);
    if (total > limit) {
        memcpy(out + used, kEllipsis, kEllipsisLength);
        used += kEllipsisLength;
    }
    out[used] = 0;
}
