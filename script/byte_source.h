// A file-like source of bytes the pattern matcher reads through, so that the
// matcher needs no file API of its own.
#pragma once
#include <stdint.h>
#include <stdio.h>

enum SeekFrom { SEEK_FROM_START = 0, SEEK_FROM_END = 1 };

struct ByteSource {
    void* handle;
    // Moves to offset bytes from the start or the end. Answers the position
    // reached, or -1 when it cannot be reached (before the start included).
    int64_t (*seek)(void* handle, int64_t offset, int from);
    // Reads up to count bytes at the position and moves past them. Fewer only
    // at the end of the data; -1 on a failed read.
    int32_t (*read)(void* handle, void* buffer, uint32_t count);
};

// Reads through a stream opened for binary reading; the caller keeps it.
ByteSource StdioByteSource(FILE* stream);
