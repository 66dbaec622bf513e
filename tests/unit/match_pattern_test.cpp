// MatchPattern against files: exact compare, the forward search and its
// window, the origins (start, end, earlier patterns, the PE entry point), and
// the two byte sources agreeing.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "script/byte_source.h"
#include "script/match_pattern.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const uint32_t NF = PATTERN_NOT_FOUND;

Bytes HexBytes(const char* text) {
    Bytes out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<unsigned char>(strtoul(std::string(p, 2).c_str(), nullptr, 16)));
        p += 2;
    }
    return out;
}

// An in-memory file that also notes the largest read it was asked for.
struct MemoryFile {
    Bytes data;
    int64_t position = 0;
    int64_t failFrom = -1;  // reads at or past this position fail
    uint32_t largestRead = 0;
};

int64_t MemorySeek(void* handle, int64_t offset, int from) {
    MemoryFile* f = static_cast<MemoryFile*>(handle);
    int64_t target = from == SEEK_FROM_END ? static_cast<int64_t>(f->data.size()) + offset : offset;
    if (target < 0) return -1;
    f->position = target;
    return target;
}

int32_t MemoryRead(void* handle, void* buffer, uint32_t count) {
    MemoryFile* f = static_cast<MemoryFile*>(handle);
    f->largestRead = std::max(f->largestRead, count);
    if (f->failFrom >= 0 && f->position + count > f->failFrom) return -1;
    int64_t size = static_cast<int64_t>(f->data.size());
    int64_t n = f->position >= size ? 0 : std::min<int64_t>(count, size - f->position);
    if (n > 0) memcpy(buffer, f->data.data() + f->position, static_cast<size_t>(n));
    f->position += n;
    return static_cast<int32_t>(n);
}

ByteSource MemorySource(MemoryFile* f) { return ByteSource{f, MemorySeek, MemoryRead}; }

PatternRecord Pattern(int32_t origin, int32_t offset, const char* bytes, int32_t forwards = 0,
                      uint32_t length = PATTERN_NO_LIMIT) {
    PatternRecord r;
    memset(&r, 0, sizeof r);
    r.found = NF;
    r.length = length;
    r.origin = origin;
    r.offset = offset;
    r.forwards = forwards;
    Bytes b = HexBytes(bytes);
    if (!b.empty()) memcpy(r.bytes, b.data(), b.size());
    r.count = static_cast<uint32_t>(b.size());
    return r;
}

// Matches through an in-memory file and through a real temporary file, which
// must agree; the scratch buffer is exactly 1024 bytes on the heap.
uint32_t Match(const Bytes& data, const PatternRecord& pattern, const PatternRecord* list = nullptr,
               int64_t failFrom = -1) {
    Bytes buffer(MATCH_BUFFER_SIZE);
    MemoryFile memory;
    memory.data = data;
    memory.failFrom = failFrom;
    ByteSource source = MemorySource(&memory);
    uint32_t result = MatchPattern(&source, &pattern, buffer.data(), list ? list : &pattern);
    EXPECT_LE(memory.largestRead, static_cast<uint32_t>(MATCH_BUFFER_SIZE));
    if (failFrom >= 0) return result;

    FILE* stream = tmpfile();
    if (!stream) return result;
    if (!data.empty()) fwrite(data.data(), 1, data.size(), stream);
    fflush(stream);
    ByteSource file = StdioByteSource(stream);
    uint32_t fromFile = MatchPattern(&file, &pattern, buffer.data(), list ? list : &pattern);
    fclose(stream);
    EXPECT_EQ(result, fromFile) << "the stdio source disagrees";
    return result;
}

TEST(MatchExact, Rows) {
    const Bytes data = HexBytes("00 11 22 33 44 55");
    struct Row {
        int line;
        int32_t origin;
        int32_t offset;
        const char* bytes;
        uint32_t expected;
    } rows[] = {
        {1, ORIGIN_START, 0, "00 11", 0},
        {2, ORIGIN_START, 2, "22 33", 2},
        {3, ORIGIN_START, 2, "22 34", NF},
        {4, ORIGIN_START, 4, "44 55", 4},
        {5, ORIGIN_START, 5, "55 66", NF},
        {6, ORIGIN_START, 6, "", 6},
        {7, ORIGIN_START, -1, "00", NF},
        {8, ORIGIN_START, -1, "", NF},
        {9, ORIGIN_START, 6, "00", NF},
        {10, ORIGIN_END, -2, "44 55", 4},
        {11, ORIGIN_END, -6, "00 11 22 33 44 55", 0},
        {12, ORIGIN_END, -7, "00", NF},
        {13, ORIGIN_END, 0, "", 6},
        {14, ORIGIN_END, 0, "55", NF},
        {15, ORIGIN_STACK, 1, "11", 1},
        {16, ORIGIN_STACK, -1, "", NF},
        {17, ORIGIN_START, 1, "22", NF},
        {18, ORIGIN_START, 0, "00 11 22 33 44 55 66", NF},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, Match(data, Pattern(row.origin, row.offset, row.bytes))) << "row " << row.line;
}

TEST(MatchExact, FailedReadIsNotFound) {
    EXPECT_EQ(NF, Match(HexBytes("41 42"), Pattern(ORIGIN_START, 0, "41"), nullptr, 0));
}

TEST(MatchForwards, Rows) {
    struct Row {
        int line;
        const char* data;
        int32_t origin;
        int32_t offset;
        const char* bytes;
        uint32_t length;
        uint32_t expected;
    } rows[] = {
        {1, "41 41 41 42", ORIGIN_START, 0, "41 41 42", PATTERN_NO_LIMIT, NF},
        {2, "41 41 42", ORIGIN_START, 0, "41 42", PATTERN_NO_LIMIT, 1},
        {3, "41 42 00 00", ORIGIN_START, 0, "41 42", PATTERN_NO_LIMIT, 0},
        {4, "00 00 41 42", ORIGIN_START, 0, "41 42", PATTERN_NO_LIMIT, 2},
        {5, "00 00 41 43", ORIGIN_START, 0, "41 42", PATTERN_NO_LIMIT, NF},
        {6, "00 41 00 41", ORIGIN_START, 2, "41", PATTERN_NO_LIMIT, 3},
        {7, "00 41 00 41", ORIGIN_START, 0, "", PATTERN_NO_LIMIT, NF},
        {8, "41 42 41 42", ORIGIN_END, -2, "41 42", PATTERN_NO_LIMIT, 2},
        {9, "41 42", ORIGIN_START, -1, "41 42", PATTERN_NO_LIMIT, NF},
        {10, "41 42", ORIGIN_START, 2, "41", PATTERN_NO_LIMIT, NF},
        {11, "41 42 43", ORIGIN_START, 0, "41", 0, 0},
        {12, "00 41 42", ORIGIN_START, 0, "41", 0, NF},
        {13, "00 41 42", ORIGIN_START, 1, "41 42", 0, 1},
        {14, "00 00 41 42", ORIGIN_START, 0, "41 42", 2, 2},
        {15, "00 00 00 41 42", ORIGIN_START, 0, "41 42", 2, NF},
        {16, "00 00 41 42", ORIGIN_START, 0, "41 42", 1, NF},
        {17, "00 00 00 41", ORIGIN_START, 0, "41", 0xFFFFFFFE, 3},
        {18, "41 41 41 41 42", ORIGIN_START, 0, "41 41 42", PATTERN_NO_LIMIT, 2},
        {19, "41 41 42 41 41 42", ORIGIN_START, 0, "41 41 42", PATTERN_NO_LIMIT, 0},
        {20, "41 42 41 41 42", ORIGIN_START, 0, "41 41 42", PATTERN_NO_LIMIT, 2},
        {21, "41 41 41 42", ORIGIN_START, 1, "41 41 42", PATTERN_NO_LIMIT, 1},
    };
    for (const Row& row : rows) {
        PatternRecord p = Pattern(row.origin, row.offset, row.bytes, 1, row.length);
        EXPECT_EQ(row.expected, Match(HexBytes(row.data), p)) << "row " << row.line;
    }
}

TEST(MatchForwards, HugeLengthDoesNotWrapTheWindow) {
    // length + count overflows 32 bits; the window stays "very large".
    Bytes data(100, 0);
    for (int i = 0; i < 0x20; ++i) data[50 + i] = static_cast<unsigned char>(0x80 + i);
    PatternRecord p = Pattern(ORIGIN_START, 0, "", 1, 0xFFFFFFF0u);
    for (uint32_t i = 0; i < 0x20; ++i) p.bytes[i] = static_cast<unsigned char>(0x80 + i);
    p.count = 0x20;
    EXPECT_EQ(50u, Match(data, p));
}

// 3000 bytes with one 8-byte marker, placed around the 1024-byte block
// edges; searched from start 0 and from 5, unlimited and with the tightest
// and one-too-tight lengths.
TEST(MatchForwards, WindowAcrossBlocks) {
    const char* marker = "DE AD BE EF 01 02 03 04";
    struct Row {
        int line;
        uint32_t at;
        int32_t offset;
    } rows[] = {
        {1, 0, 0},       {2, 1016, 0}, {3, 1017, 0}, {4, 1020, 0}, {5, 1023, 0}, {6, 1024, 0},
        {7, 2040, 0},    {8, 2047, 0}, {9, 2992, 0}, {10, 1020, 5}, {11, 1024, 5}, {12, 1028, 5},
        {13, 2052, 5},   {14, 5, 5},   {15, 2992, 5},
    };
    for (const Row& row : rows) {
        Bytes data(3000, 0xDE);
        Bytes m = HexBytes(marker);
        std::copy(m.begin(), m.end(), data.begin() + row.at);
        const uint32_t distance = row.at - static_cast<uint32_t>(row.offset);
        EXPECT_EQ(row.at, Match(data, Pattern(ORIGIN_START, row.offset, marker, 1))) << "row " << row.line;
        EXPECT_EQ(row.at, Match(data, Pattern(ORIGIN_START, row.offset, marker, 1, distance))) << "row " << row.line;
        if (distance > 0)
            EXPECT_EQ(NF, Match(data, Pattern(ORIGIN_START, row.offset, marker, 1, distance - 1)))
                << "row " << row.line;
    }
}

TEST(MatchForwards, PartialMatchAcrossABlockEdgeRestartsAtTheCurrentByte) {
    // DE AD .. up to the edge, a wrong byte just after it, then the marker.
    Bytes data(2100, 0);
    Bytes m = HexBytes("DE AD BE EF");
    std::copy(m.begin(), m.begin() + 3, data.begin() + 1021);
    data[1024] = 0xDE;
    std::copy(m.begin(), m.end(), data.begin() + 1024);
    EXPECT_EQ(1024u, Match(data, Pattern(ORIGIN_START, 0, "DE AD BE EF", 1)));
}

TEST(MatchForwards, FailedReadIsNotFound) {
    Bytes data(3000, 0);
    data[2500] = 0x41;
    struct Row {
        int line;
        int64_t failFrom;
        uint32_t expected;
    } rows[] = {{1, 0, NF}, {2, 1024, NF}, {3, 2048, NF}, {4, 3072, 2500}};
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, Match(data, Pattern(ORIGIN_START, 0, "41", 1), nullptr, row.failFrom))
            << "row " << row.line;
}

// Origins 16 + n count from where an earlier PATTERN of the same list was
// found.
TEST(MatchEarlierPattern, Rows) {
    Bytes data(0x40);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i);
    struct Row {
        int line;
        int target;         // index of the matched record in the three-record list
        bool targetInList;  // false: the list holds records 0 and 1 only
        int32_t origin;
        int32_t offset;
        const char* bytes;
        uint32_t firstFound;
        uint32_t expected;
    } rows[] = {
        {1, 0, true, ORIGIN_PATTERN + 0, 0, "", 0x10, NF},
        {2, 2, true, ORIGIN_PATTERN + 0, 0, "10", 0x10, 0x10},
        {3, 2, true, ORIGIN_PATTERN + 1, 1, "03", 0x10, 0x03},
        {4, 2, true, ORIGIN_PATTERN + 2, 0, "", 0x10, NF},
        {5, 2, true, ORIGIN_PATTERN + 5, 0, "", 0x10, NF},
        {6, 2, false, ORIGIN_PATTERN + 1, 0, "02", 0x10, 0x02},
        {7, 2, false, ORIGIN_PATTERN + 2, 0, "", 0x10, NF},
        {8, 2, true, ORIGIN_PATTERN + 1, -3, "", 0x10, NF},
        {9, 2, true, ORIGIN_PATTERN + 0, 0, "", NF, NF},
        {10, 1, true, ORIGIN_PATTERN + 0, -0x10, "00", 0x10, 0x00},
        {11, 2, true, ORIGIN_PATTERN + 0, 0, "10 11", 0x3F, NF},
        {12, 2, true, ORIGIN_PATTERN + 1, 0, "05", 0x10, NF},
    };
    for (const Row& row : rows) {
        PatternRecord records[3] = {Pattern(0, 0, ""), Pattern(0, 0, ""), Pattern(0, 0, "")};
        records[0].found = row.firstFound;
        records[1].found = 0x02;
        records[0].next = &records[1];
        if (row.targetInList) records[1].next = &records[2];
        PatternRecord& target = records[row.target];
        PatternRecord filled = Pattern(row.origin, row.offset, row.bytes);
        target.origin = filled.origin;
        target.offset = filled.offset;
        target.count = filled.count;
        memcpy(target.bytes, filled.bytes, sizeof filled.bytes);
        EXPECT_EQ(row.expected, Match(data, target, &records[0])) << "row " << row.line;
    }
}

// A minimal Portable Executable: DOS header, NT headers with a 32-bit
// optional header, a section table, and raw data filled with the offset's
// low byte so that a found position can be read back.
struct Section {
    uint32_t virtualSize, address, rawSize, rawData;
};

void Put16(Bytes& b, size_t at, uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

struct PeImage {
    uint32_t entry = 0x1010;
    std::vector<Section> sections = {{0x200, 0x1000, 0x200, 0x400}};
    uint32_t header = 0x80;
    uint32_t optionalSize = 0xE0;
    uint32_t signature = 0x00004550;
    uint16_t dosMagic = 0x5A4D;
    int sectionCount = -1;  // -1: the number of sections given
    size_t cutAt = 0;       // 0: full length

    Bytes Build() const {
        Bytes b(0x800);
        for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i);
        Put16(b, 0, dosMagic);
        Put32(b, 0x3C, header);
        if (header != 0 && header < 0x10000) {
            Put32(b, header, signature);
            Put16(b, header + 4, 0x14C);
            Put16(b, header + 6, sectionCount < 0 ? static_cast<uint32_t>(sections.size()) : sectionCount);
            Put16(b, header + 20, optionalSize);
            Put16(b, header + 24, 0x10B);
            Put32(b, header + 40, entry);
            size_t at = header + 24 + optionalSize;
            for (const Section& s : sections) {
                memcpy(&b[at], ".sect\0\0\0", 8);
                Put32(b, at + 8, s.virtualSize);
                Put32(b, at + 12, s.address);
                Put32(b, at + 16, s.rawSize);
                Put32(b, at + 20, s.rawData);
                at += 40;
            }
        }
        if (cutAt) b.resize(cutAt);
        return b;
    }
};

TEST(MatchEntryPoint, GeneratedImageRows) {
    struct Row {
        int line;
        PeImage image;
        int32_t offset;
        uint32_t expected;
    };
    std::vector<Row> rows;
    auto add = [&rows](int line, void (*change)(PeImage&), int32_t offset, uint32_t expected) {
        Row row{line, PeImage(), offset, expected};
        change(row.image);
        rows.push_back(row);
    };
    add(1, [](PeImage&) {}, 0, 0x410);
    add(2, [](PeImage&) {}, 4, 0x414);
    add(3, [](PeImage&) {}, -0x10, 0x400);
    add(4, [](PeImage&) {}, -0x411, NF);
    add(5, [](PeImage& p) { p.dosMagic = 0x584D; }, 0, NF);
    add(6, [](PeImage& p) { p.cutAt = 63; }, 0, NF);
    add(7, [](PeImage& p) { p.header = 0; }, 0, NF);
    add(8, [](PeImage& p) { p.header = 0x100000; }, 0, NF);
    add(9, [](PeImage& p) { p.cutAt = 0x80 + 247; }, 0, NF);
    add(10, [](PeImage& p) { p.signature = 0x01004550; }, 0, NF);
    add(11, [](PeImage& p) { p.sectionCount = 0; }, 0, NF);
    add(12, [](PeImage& p) { p.entry = 0x0FFF; }, 0, NF);
    add(13, [](PeImage& p) { p.entry = 0x1200; }, 0, NF);
    add(14, [](PeImage& p) { p.sections = {{0x300, 0x1000, 0x100, 0x400}}; p.entry = 0x1180; }, 0, 0x580);
    add(15, [](PeImage& p) { p.sections = {{0x080, 0x1000, 0x200, 0x400}}; p.entry = 0x1180; }, 0, 0x580);
    add(16, [](PeImage& p) {
        p.sections = {{0x200, 0x1000, 0x200, 0x400}, {0x200, 0x2000, 0x200, 0x600}};
        p.entry = 0x2008;
    }, 0, 0x608);
    add(17, [](PeImage& p) {
        p.sections = {{0x2000, 0x1000, 0x2000, 0x400}, {0x200, 0x2000, 0x200, 0x600}};
        p.entry = 0x2008;
    }, 0, 0x1408);
    add(18, [](PeImage& p) {
        p.sections = {{0x200, 0x1000, 0x200, 0x400}, {0x200, 0x2000, 0x200, 0x600}};
        p.cutAt = 0x80 + 24 + 0xE0 + 40;
    }, 0, 0x410);
    add(19, [](PeImage& p) {
        p.sections = {{0x200, 0x1000, 0x200, 0x400}, {0x200, 0x2000, 0x200, 0x600}};
        p.entry = 0x2008;
        p.cutAt = 0x80 + 24 + 0xE0 + 40;
    }, 0, NF);
    add(20, [](PeImage& p) { p.sections = {{0x200, 0x1000, 0x200, 0xFFFFFFF0}}; p.entry = 0x100F; }, 0, NF);
    add(21, [](PeImage& p) { p.optionalSize = 0xF0; }, 0, 0x410);
    add(22, [](PeImage& p) { p.sections = {{0, 0xFFFFF000, 0x2000, 0x400}}; p.entry = 0xFFFFF010; }, 0, 0x410);
    add(23, [](PeImage& p) { p.sectionCount = 0xFFFF; }, 0, 0x410);
    add(24, [](PeImage& p) { p.header = 0x40; }, 0, 0x410);

    for (const Row& row : rows) {
        const Bytes data = row.image.Build();
        // The bytes at the expected place, or a marker that cannot be there.
        PatternRecord p = Pattern(ORIGIN_ENTRY_POINT, row.offset, "");
        EXPECT_EQ(row.expected, Match(data, p)) << "row " << row.line;
        if (row.expected != NF && row.expected + 2 <= data.size()) {
            p.count = 2;
            p.bytes[0] = data[row.expected];
            p.bytes[1] = data[row.expected + 1];
            EXPECT_EQ(row.expected, Match(data, p)) << "row " << row.line;
            p.bytes[1] ^= 0xFF;
            EXPECT_EQ(NF, Match(data, p)) << "row " << row.line;
        }
    }
}

TEST(MatchEntryPoint, ForwardSearchFromTheEntryPoint) {
    Bytes data = PeImage().Build();
    data[0x430] = 0xE8;
    data[0x431] = 0x99;
    EXPECT_EQ(0x430u, Match(data, Pattern(ORIGIN_ENTRY_POINT, 0, "E8 99", 1)));
    EXPECT_EQ(0x430u, Match(data, Pattern(ORIGIN_ENTRY_POINT, 0, "E8 99", 1, 0x20)));
    EXPECT_EQ(NF, Match(data, Pattern(ORIGIN_ENTRY_POINT, 0, "E8 99", 1, 0x1F)));
}

TEST(MatchEntryPoint, FilesThatAreNotExecutables) {
    struct Row {
        int line;
        Bytes data;
    } rows[] = {
        {1, Bytes()},
        {2, HexBytes("4D 5A")},
        {3, Bytes(4096, 'x')},
        {4, HexBytes("7F 45 4C 46 01 01 01 00")},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NF, Match(row.data, Pattern(ORIGIN_ENTRY_POINT, 0, ""))) << "row " << row.line;
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    pclose(pipe);
    return out;
}

bool ReadWholeFile(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t MatchFileAtEntryPoint(const std::string& path, const PatternRecord& p) {
    FILE* stream = fopen(path.c_str(), "rb");
    if (!stream) return NF;
    Bytes buffer(MATCH_BUFFER_SIZE);
    ByteSource source = StdioByteSource(stream);
    uint32_t result = MatchPattern(&source, &p, buffer.data(), &p);
    fclose(stream);
    return result;
}

// A program linked by the cross toolchain whose entry point starts with a
// marker found nowhere else in the file: matching at the entry point must
// land on the marker's one place.
TEST(MatchEntryPoint, LinkedProgramWithAKnownEntry) {
    const char* marker = "90 4D 45 4E 44 52 49 58 C3";
    struct Row {
        int line;
        const char* sectionOfEntry;  // the entry in .text, or in a later section
    } rows[] = {{1, ".text"}, {2, ".zentry,\"xr\""}};
    if (RunCommand("command -v i686-w64-mingw32-gcc").empty()) GTEST_SKIP() << "no i686 cross compiler";
    char dir[] = "/tmp/match_pattern_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    for (const Row& row : rows) {
        const std::string source = std::string(dir) + "/entry.s";
        const std::string program = std::string(dir) + "/entry.exe";
        std::ofstream(source) << "\t.data\n\t.long 1,2,3,4\n\t.text\n\t.byte 0xCC,0xCC,0xCC,0xCC,0xCC\n"
                              << "\t.section " << row.sectionOfEntry << "\n\t.byte 0xCC,0xCC,0xCC\n"
                              << "\t.globl _entry\n_entry:\n\t.byte 0x90,0x4D,0x45,0x4E,0x44,0x52,0x49,0x58,0xC3\n";
        const std::string build =
            "i686-w64-mingw32-gcc -nostdlib -Wl,--entry=_entry -o " + program + " " + source + " 2>&1";
        ASSERT_EQ("", RunCommand(build)) << "row " << row.line;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(program, &file)) << "row " << row.line;
        const Bytes m = HexBytes(marker);
        auto first = std::search(file.begin(), file.end(), m.begin(), m.end());
        ASSERT_NE(file.end(), first) << "row " << row.line;
        ASSERT_EQ(file.end(), std::search(first + 1, file.end(), m.begin(), m.end())) << "row " << row.line;
        const uint32_t place = static_cast<uint32_t>(first - file.begin());
        EXPECT_EQ(place, MatchFileAtEntryPoint(program, Pattern(ORIGIN_ENTRY_POINT, 0, marker))) << "row " << row.line;
        EXPECT_EQ(place - 3, MatchFileAtEntryPoint(program, Pattern(ORIGIN_ENTRY_POINT, -3, "CC CC CC 90")))
            << "row " << row.line;
        EXPECT_EQ(NF, MatchFileAtEntryPoint(program, Pattern(ORIGIN_ENTRY_POINT, 1, marker))) << "row " << row.line;
        remove(source.c_str());
        remove(program.c_str());
    }
    rmdir(dir);
}

// Real libraries and the project's own Windows programs, checked against the
// entry point and section table as the binutils object dumper reads them.
uint32_t EntryPositionByObjdump(const std::string& path) {
    const std::string dump = RunCommand("i686-w64-mingw32-objdump -h -f '" + path + "' 2>/dev/null");
    std::istringstream lines(dump);
    std::string line;
    unsigned long long start = 0;
    bool haveStart = false;
    while (std::getline(lines, line)) {
        if (sscanf(line.c_str(), "start address 0x%llx", &start) == 1) {
            haveStart = true;
            continue;
        }
        int index;
        char name[64];
        unsigned long long size, vma, lma, fileOffset;
        if (haveStart && sscanf(line.c_str(), " %d %63s %llx %llx %llx %llx", &index, name, &size, &vma, &lma,
                                &fileOffset) == 6) {
            if (vma <= start && start < vma + size) return static_cast<uint32_t>(start - vma + fileOffset);
        }
    }
    return NF;
}

TEST(MatchEntryPoint, RealExecutables) {
    if (RunCommand("command -v i686-w64-mingw32-objdump").empty()) GTEST_SKIP() << "no i686 objdump";
    std::vector<std::string> paths;
    const std::string list = RunCommand(
        "ls /usr/i686-w64-mingw32/lib/*.dll /usr/lib/gcc/i686-w64-mingw32/*/*.dll "
        "'" MENDRIX_SOURCE_DIR "'/build/win/mendrix-*.exe 2>/dev/null");
    std::istringstream in(list);
    for (std::string path; std::getline(in, path);)
        if (!path.empty()) paths.push_back(path);
    if (paths.empty()) GTEST_SKIP() << "no PE files on this machine";
    int checked = 0;
    for (const std::string& path : paths) {
        const uint32_t expected = EntryPositionByObjdump(path);
        if (expected == NF) continue;
        EXPECT_EQ(expected, MatchFileAtEntryPoint(path, Pattern(ORIGIN_ENTRY_POINT, 0, ""))) << path;
        PatternRecord p = Pattern(ORIGIN_ENTRY_POINT, 0, "");
        FILE* stream = fopen(path.c_str(), "rb");
        if (stream && fseek(stream, static_cast<long>(expected), SEEK_SET) == 0 && fread(p.bytes, 1, 4, stream) == 4) {
            p.count = 4;
            EXPECT_EQ(expected, MatchFileAtEntryPoint(path, p)) << path;
            p.bytes[3] ^= 0xFF;
            EXPECT_EQ(NF, MatchFileAtEntryPoint(path, p)) << path;
        }
        if (stream) fclose(stream);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(MatchEntryPoint, RealFilesThatAreNotExecutables) {
    const char* paths[] = {MENDRIX_SOURCE_DIR "/CMakeLists.txt", "/bin/sh"};
    for (const char* path : paths) {
        FILE* probe = fopen(path, "rb");
        if (!probe) continue;
        fclose(probe);
        EXPECT_EQ(NF, MatchFileAtEntryPoint(path, Pattern(ORIGIN_ENTRY_POINT, 0, ""))) << path;
    }
}

}  // namespace
