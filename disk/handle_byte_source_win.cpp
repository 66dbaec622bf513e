#include "disk/handle_byte_source_win.h"

#include <windows.h>

// SetFilePointer with its high word, since SetFilePointerEx is missing on
// the 9x family.
static int64_t HandleSeek(void* handle, int64_t offset, int from) {
    int64_t target = offset;
    if (from == SEEK_FROM_END) {
        DWORD high = 0;
        DWORD low = GetFileSize(handle, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
        target += (static_cast<int64_t>(high) << 32) | low;
    }
    if (target < 0) return -1;
    LONG high = static_cast<LONG>(target >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(handle, static_cast<LONG>(target & 0xFFFFFFFF), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return target;
}

static int32_t HandleRead(void* handle, void* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, count, &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

ByteSource HandleByteSource(void* handle) {
    ByteSource source;
    source.handle = handle;
    source.seek = HandleSeek;
    source.read = HandleRead;
    return source;
}
