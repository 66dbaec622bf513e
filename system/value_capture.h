// Whether a VIRUSVALUE pattern finds the threat in a value's text, and what
// its "%s" captures.
#pragma once
#include <stddef.h>

struct Capture {
    const char* start;  // inside the text; null without a "%s"
    size_t length;
};

// A pattern with "%s" matches when the text before it occurs in the text and
// the text after it occurs after that; the capture lies between the two (an
// empty side reaches the text's start or end). Without "%s" the pattern
// matches when it occurs anywhere. Both texts are compared as they are.
bool MatchValuePattern(const char* text, const char* pattern, Capture* capture);
