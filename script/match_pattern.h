// Whether a PATTERN stands in a file, and where.
#pragma once
#include <stdint.h>

#include "script/byte_source.h"
#include "script/pattern_record.h"

enum { MATCH_BUFFER_SIZE = 1024 };

// Answers the position where the pattern was found, or PATTERN_NOT_FOUND.
// buffer is scratch space of MATCH_BUFFER_SIZE bytes; list is the parent's
// PATTERN list, whose earlier records' found values serve origins 16 + n.
uint32_t MatchPattern(const ByteSource* source, const PatternRecord* pattern, unsigned char* buffer,
                      const PatternRecord* list);

// File position of a Portable Executable's entry point, or PATTERN_NOT_FOUND
// when the source is not one or the entry point lies in no section.
uint32_t FindEntryPointPosition(const ByteSource* source, unsigned char* buffer);
