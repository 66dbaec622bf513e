// One ACTION keyword as a cleaning subsystem knows it: the word, where it
// counts and what it does. Each subsystem keeps the rows it dispatches with.
#pragma once

struct ActionKeyword {
    const char* word;  // null ends a table
    const char* parents;
    int ignoresCase;
    const char* effect;
};
