#include "script/match_pattern.h"

static uint32_t Word16(const unsigned char* p) { return p[0] | (p[1] << 8); }
static uint32_t Word32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads exactly count bytes at position; false on a short or failed read.
static bool ReadAt(const ByteSource* source, int64_t position, unsigned char* buffer, uint32_t count) {
    if (source->seek(source->handle, position, SEEK_FROM_START) != position) return false;
    return source->read(source->handle, buffer, count) == static_cast<int32_t>(count);
}

enum {
    DOS_HEADER_SIZE = 64,
    DOS_NEW_HEADER_AT = 0x3C,
    NT_HEADERS_SIZE = 248,
    SECTION_HEADER_SIZE = 40,
};

uint32_t FindEntryPointPosition(const ByteSource* source, unsigned char* buffer) {
    if (!ReadAt(source, 0, buffer, DOS_HEADER_SIZE) || Word16(buffer) != 0x5A4D) return PATTERN_NOT_FOUND;
    const uint32_t header = Word32(buffer + DOS_NEW_HEADER_AT);
    if (header == 0) return PATTERN_NOT_FOUND;
    if (!ReadAt(source, header, buffer, NT_HEADERS_SIZE) || Word32(buffer) != 0x00004550) return PATTERN_NOT_FOUND;
    const uint32_t sections = Word16(buffer + 6);
    const uint32_t optionalSize = Word16(buffer + 20);
    const uint32_t entry = Word32(buffer + 40);
    if (sections == 0) return PATTERN_NOT_FOUND;

    int64_t at = static_cast<int64_t>(header) + 24 + optionalSize;
    for (uint32_t i = 0; i < sections; ++i, at += SECTION_HEADER_SIZE) {
        if (!ReadAt(source, at, buffer, SECTION_HEADER_SIZE)) return PATTERN_NOT_FOUND;
        const uint32_t virtualSize = Word32(buffer + 8);
        const uint32_t address = Word32(buffer + 12);
        const uint32_t rawSize = Word32(buffer + 16);
        const uint32_t rawData = Word32(buffer + 20);
        if (address > entry) continue;
        // Distances rather than ends, so that a section near 4 GB cannot wrap.
        const uint32_t into = entry - address;
        if (into < rawSize || into < virtualSize) {
            return into + rawData;  // 0xFFFFFFFF reads as not found
        }
    }
    return PATTERN_NOT_FOUND;
}

// The place origins 16 + n count from: where PATTERN n, which must come
// before this one, was found.
static uint32_t EarlierPatternBase(const PatternRecord* pattern, const PatternRecord* list) {
    const uint32_t n = static_cast<uint32_t>(pattern->origin - ORIGIN_PATTERN);
    const PatternRecord* walk = list;
    for (uint32_t i = 0; i < n && walk && walk != pattern; ++i) walk = walk->next;
    if (!walk || walk == pattern) return PATTERN_NOT_FOUND;
    return walk->found;
}

static uint32_t CompareExactly(const ByteSource* source, const PatternRecord* pattern, unsigned char* buffer,
                               int64_t place) {
    if (pattern->count > 0) {
        if (source->read(source->handle, buffer, pattern->count) != static_cast<int32_t>(pattern->count))
            return PATTERN_NOT_FOUND;
        for (uint32_t i = 0; i < pattern->count; ++i)
            if (buffer[i] != pattern->bytes[i]) return PATTERN_NOT_FOUND;
    }
    return place < PATTERN_NOT_FOUND ? static_cast<uint32_t>(place) : PATTERN_NOT_FOUND;
}

// Never steps back: after a mismatch matching restarts at the current byte
// only, as the data file's patterns are written for.
static uint32_t SearchForwards(const ByteSource* source, const PatternRecord* pattern, unsigned char* buffer,
                               int64_t place) {
    const uint32_t count = pattern->count;
    if (count == 0) return PATTERN_NOT_FOUND;
    // The window saturates rather than wraps, so a huge length stays huge.
    uint64_t window = PATTERN_NO_LIMIT;
    if (pattern->length != PATTERN_NO_LIMIT) {
        window = static_cast<uint64_t>(pattern->length) + count;
        if (window > PATTERN_NO_LIMIT) window = PATTERN_NO_LIMIT;
    }
    uint64_t consumed = 0;
    uint32_t matched = 0;
    while (consumed < window) {
        uint64_t left = window - consumed;
        const uint32_t ask = left < MATCH_BUFFER_SIZE ? static_cast<uint32_t>(left) : uint32_t{MATCH_BUFFER_SIZE};
        const int32_t got = source->read(source->handle, buffer, ask);
        if (got < 0) return PATTERN_NOT_FOUND;
        for (int32_t i = 0; i < got; ++i) {
            const unsigned char c = buffer[i];
            if (c == pattern->bytes[matched])
                ++matched;
            else
                matched = c == pattern->bytes[0] ? 1 : 0;
            if (matched == count) {
                const int64_t at = place + static_cast<int64_t>(consumed) + i + 1 - count;
                return at < PATTERN_NOT_FOUND ? static_cast<uint32_t>(at) : PATTERN_NOT_FOUND;
            }
        }
        consumed += static_cast<uint32_t>(got);
        if (static_cast<uint32_t>(got) < ask) return PATTERN_NOT_FOUND;
    }
    return PATTERN_NOT_FOUND;
}

uint32_t MatchPattern(const ByteSource* source, const PatternRecord* pattern, unsigned char* buffer,
                      const PatternRecord* list) {
    if (pattern->count > PATTERN_MAX_BYTES) return PATTERN_NOT_FOUND;

    int64_t place;
    if (pattern->origin == ORIGIN_START) {
        place = source->seek(source->handle, pattern->offset, SEEK_FROM_START);
    } else if (pattern->origin == ORIGIN_END) {
        place = source->seek(source->handle, pattern->offset, SEEK_FROM_END);
    } else {
        uint32_t base = 0;
        if (pattern->origin >= ORIGIN_PATTERN)
            base = EarlierPatternBase(pattern, list);
        else if (pattern->origin == ORIGIN_ENTRY_POINT)
            base = FindEntryPointPosition(source, buffer);
        // A base that was never found is no place to count from.
        if (base == PATTERN_NOT_FOUND) return PATTERN_NOT_FOUND;
        place = source->seek(source->handle, static_cast<int64_t>(base) + pattern->offset, SEEK_FROM_START);
    }
    if (place < 0) return PATTERN_NOT_FOUND;

    if (pattern->forwards) return SearchForwards(source, pattern, buffer, place);
    return CompareExactly(source, pattern, buffer, place);
}
