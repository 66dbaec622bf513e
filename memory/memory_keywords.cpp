#include "memory/memory_keywords.h"

// In the order the passes take them. A PROCESS treats every word that
// begins with "suspend" as suspend; a THREAD record whose patterns fit
// terminates the thread for any word but suspend and write.
const ActionKeyword kMemoryKeywords[] = {
    {"suspend", "PROCESS, THREAD", 0,
     "suspends the process (any word beginning with suspend) or the thread for the rest of the run"},
    {"suspendandresume", "PROCESS", 0, "suspends the process while the run lasts and resumes it at the end"},
    {"PostThreadMessage", "PROCESS", 0, "posts the message given by parameters to each of the process's threads"},
    {"kill", "PROCESS, THREAD", 0, "terminates the process, or the thread"},
    {"forcekill", "PROCESS", 0, "terminates the process at once, without its exit routines"},
    {"restart", "PROCESS", 0, "terminates the process, then starts its program again"},
    {"write", "PROCESS, THREAD", 0, "writes the ACTION's PATCHes into the process's memory"},
    {"eject", "PROCESS", 0, "releases the library named by dll from the process, ending its threads there"},
    {nullptr, nullptr, 0, nullptr},
};
