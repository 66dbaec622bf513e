#include "memory/resume_list.h"

#include <stdlib.h>
#include <string.h>

#include "memory/process_match.h"
#include "memory/process_record.h"

bool BuildResumeList(ParseContext* context, ProcessRecord* records, int32_t count) {
    uint32_t* list = static_cast<uint32_t*>(calloc(static_cast<size_t>(count) + 1, sizeof(uint32_t)));
    if (!list) return false;
    int32_t n = 0;
    for (ProcessRecord* r = records; r; r = r->next) {
        if (!r->isProcess || !KeywordIs(r, "suspendandresume")) continue;
        for (FoundProcess* e = r->found; e && n < count; e = e->next)
            if (e->processId != 0) list[n++] = e->processId;
    }
    list[n] = 0;
    // A second MEMORY element's list joins the first, so that both are
    // resumed at the end of the run.
    uint32_t* earlier = context->suspendedProcesses;
    if (earlier) {
        size_t before = 0;
        while (earlier[before]) ++before;
        uint32_t* joined = static_cast<uint32_t*>(calloc(before + n + 1, sizeof(uint32_t)));
        if (!joined) {
            free(list);
            return false;
        }
        memcpy(joined, earlier, before * sizeof(uint32_t));
        memcpy(joined + before, list, n * sizeof(uint32_t));
        free(earlier);
        free(list);
        list = joined;
    }
    context->suspendedProcesses = list;
    return true;
}
