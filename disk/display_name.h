// The short form of a path shown on the status line and in questions.
#pragma once

enum { DISPLAY_NAME_LIMIT = 40, DISPLAY_NAME_SIZE = DISPLAY_NAME_LIMIT + 1 };

// Writes the display name of path into out, which holds DISPLAY_NAME_SIZE
// bytes: the path itself when it is short enough, else its head, "..." and
// its file name, cut to the limit with a closing "...".
void MakeDisplayName(const char* path, char* out);
