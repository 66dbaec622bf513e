// An EXECUTE command line is started with full rights, so nothing in it may
// let a planted file be started instead of the program meant. Text that a
// store or a folder macro spliced in was never seen by whoever wrote the data
// file: a blank in it ("C:\Documents and Settings\...") would make the
// system try "C:\Documents.exe" first. Such a piece is kept in one word by
// quotes, or by its short name where quotes cannot go.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Characters [begin, end) of a command line that a store value or a folder
// put there.
struct SplicedPiece {
    size_t begin;
    size_t end;
};

enum { MAX_SPLICED_PIECES = 2 };  // one store value and one folder

struct SplicedLine {
    char* text;  // heap, owned by the record
    SplicedPiece pieces[MAX_SPLICED_PIECES];
    int count;  // pieces in use; overlapping ones are kept as one
};

// Notes a spliced piece; an empty one is not kept. A command line has at
// most one store value and one folder: room for more is not made.
void AddSplicedPiece(SplicedLine* line, size_t begin, size_t end);

// The line to start: each word holding a spliced piece with a blank, not
// inside quotes the data file wrote, is put in quotes; where the word already
// holds a quote or ends in a backslash (quotes around it would be read
// otherwise) the piece is replaced by its short name. Answers a new heap
// string, or null with *error set: the system's reason when a short name
// could not be had, BLANK_IN_SHORT_NAME when the short name still holds a
// blank, NO_MEMORY_FOR_LINE when memory ran out.
// The system's codes for "not enough memory" and "invalid name".
const uint32_t NO_MEMORY_FOR_LINE = 8;
const uint32_t BLANK_IN_SHORT_NAME = 123;
char* GuardedCommandLine(const SplicedLine* line, uint32_t* error);

// Supplied by the platform: the short form of path, with its terminator, in
// out of size bytes. Answers 0, or the system's reason for failing.
uint32_t PlatformShortPath(const char* path, char* out, size_t size);

// The program a command line names, as the system reads it: a quoted name
// up to its closing quote, otherwise the text up to the first blank.
struct CommandHead {
    size_t begin, end;  // the name, without its quotes
    size_t rest;        // where the arguments start (their blank included)
};
CommandHead FindCommandHead(const char* line);

// A name without any path: no backslash, slash or drive colon. Empty is not
// a name.
bool IsBareName(const char* name, size_t length);
