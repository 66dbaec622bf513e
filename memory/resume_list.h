// The processes suspended for the length of a run: identifiers in the parse
// context, ending with 0, resumed when the run ends. The same block keeps,
// after the 0, the creation time each was matched with, so that one whose
// ID has gone to another process by then is not resumed; freeing the list
// frees them too.
#pragma once
#include <stdint.h>

#include "script/parse_context.h"

struct ProcessRecord;

// After a suspension pass that suspended count processes: the identifiers
// of the "suspendandresume" entries it suspended (a failed one has id 0), in
// list order, joined to a list an earlier MEMORY element left. False when
// memory ran out; the context's list is then unchanged.
bool BuildResumeList(ParseContext* context, ProcessRecord* records, int32_t count);

// The creation times of a list that BuildResumeList made, one for each
// identifier, in the same order; 0 where it was not known.
const uint64_t* ResumeListTimes(const uint32_t* list);
