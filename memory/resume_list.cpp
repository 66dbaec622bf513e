#include "memory/resume_list.h"

#include <stdlib.h>
#include <string.h>

#include "memory/process_match.h"
#include "memory/process_record.h"

namespace {

// Where the times begin in a block of count identifiers and their 0.
size_t TimesOffset(size_t count) { return ((count + 1) * sizeof(uint32_t) + 7) & ~static_cast<size_t>(7); }

size_t CountOf(const uint32_t* list) {
    size_t count = 0;
    while (list && list[count]) ++count;
    return count;
}

// A new block for count entries: identifiers, 0, then the times.
uint32_t* NewList(size_t count) {
    return static_cast<uint32_t*>(calloc(1, TimesOffset(count) + count * sizeof(uint64_t)));
}

uint64_t* TimesIn(uint32_t* list, size_t count) {
    return reinterpret_cast<uint64_t*>(reinterpret_cast<unsigned char*>(list) + TimesOffset(count));
}

}  // namespace

const uint64_t* ResumeListTimes(const uint32_t* list) {
    return TimesIn(const_cast<uint32_t*>(list), CountOf(list));
}

bool BuildResumeList(ParseContext* context, ProcessRecord* records, int32_t count) {
    // A second MEMORY element's list joins the first, so that both are
    // resumed at the end of the run.
    uint32_t* earlier = context->suspendedProcesses;
    size_t before = CountOf(earlier);
    uint32_t* list = NewList(before + static_cast<size_t>(count));
    if (!list) return false;
    size_t room = before + static_cast<size_t>(count);
    uint64_t* times = TimesIn(list, room);
    if (before) {
        memcpy(list, earlier, before * sizeof(uint32_t));
        memcpy(times, ResumeListTimes(earlier), before * sizeof(uint64_t));
    }
    size_t n = before;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!r->isProcess || !KeywordIs(r, "suspendandresume")) continue;
        for (FoundProcess* e = r->found; e && n < room; e = e->next) {
            if (e->processId == 0 || e->takenOver) continue;
            list[n] = e->processId;
            times[n++] = e->stamp.creationTime;
        }
    }
    // Fewer entries than room: the times move up to follow the 0.
    if (n < room) memmove(TimesIn(list, n), times, n * sizeof(uint64_t));
    free(earlier);
    context->suspendedProcesses = list;
    return true;
}
