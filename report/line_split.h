// Cuts a message text into the lines its CR/LF runs end.
#pragma once
#include <stddef.h>

// One line of a text: [start, start + length), without its line break.
struct LineSpan {
    size_t start;
    size_t length;
};

// Looks for the next run of one or more CR and LF characters at or after
// *pos in text[0, length). When one is found, *line receives the text from
// *pos up to the run, *pos moves past the whole run and the answer is true;
// "\r\n", "\n\r" and "\r\n\r\n" each end exactly one line. Otherwise *pos is
// left at the remainder (the text after the last run) and the answer is false.
bool NextLine(const char* text, size_t length, size_t* pos, LineSpan* line);
