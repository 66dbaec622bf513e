// 64-bit stream offsets on every C library (MinGW maps fseeko to fseeko64).
#define _FILE_OFFSET_BITS 64
#include <stdio.h>
#include <sys/types.h>

#include "script/byte_source.h"

// The end is resolved to an offset from the start first, so that a place
// before the start fails the same way on every C library.
static int64_t StdioSeek(void* handle, int64_t offset, int from) {
    FILE* stream = static_cast<FILE*>(handle);
    int64_t target = offset;
    if (from == SEEK_FROM_END) {
        if (fseeko(stream, 0, SEEK_END) != 0) return -1;
        off_t size = ftello(stream);
        if (size < 0) return -1;
        target += static_cast<int64_t>(size);
    }
    if (target < 0) return -1;
    if (fseeko(stream, static_cast<off_t>(target), SEEK_SET) != 0) return -1;
    return target;
}

static int32_t StdioRead(void* handle, void* buffer, uint32_t count) {
    FILE* stream = static_cast<FILE*>(handle);
    size_t n = fread(buffer, 1, count, stream);
    if (n < count && ferror(stream)) {
        clearerr(stream);
        return -1;
    }
    return static_cast<int32_t>(n);
}

ByteSource StdioByteSource(FILE* stream) {
    ByteSource source;
    source.handle = stream;
    source.seek = StdioSeek;
    source.read = StdioRead;
    return source;
}
