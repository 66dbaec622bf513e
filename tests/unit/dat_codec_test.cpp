// The data-file tool's codec: smallest token streams, round trips of every
// size, the rules every written stream keeps, and how bad data is named.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "script/container_codec.h"
#include "tools/dat/codec.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Flips scrambling on or off; it is its own inverse.
Bytes Unscrambled(Bytes bytes) {
    uint8_t key = DATA_SEED;
    for (uint8_t& b : bytes) {
        b ^= key;
        key = static_cast<uint8_t>(key << 1 | key >> 7);
    }
    return bytes;
}

// Walks the tokens of a stored stream and fails on any a writer must not
// produce: distance 0, a copy before the start, an empty copy, a truncated
// token.
void ExpectWriterRules(const Bytes& stored) {
    Bytes t = Unscrambled(stored);
    size_t decoded = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] < 0x80) {
            ++decoded;
            continue;
        }
        ASSERT_LT(i + 1, t.size()) << "truncated token at " << i;
        if (t[i] == 0x80) {
            ++i;
            ++decoded;
            continue;
        }
        size_t length = (t[i] >> 2) & 31, distance = (t[i] & 3u) << 8 | t[i + 1];
        ASSERT_GT(length, 0u) << "empty copy at " << i;
        ASSERT_GT(distance, 0u) << "distance 0 at " << i;
        ASSERT_LE(distance, decoded) << "copy before the start at " << i;
        decoded += length;
        ++i;
    }
}

TEST(DatEncode, SizesAreTheSmallestTheFormatAllows) {
    struct Row {
        std::string text;
        size_t size;
    } rows[] = {
        {"", 0},
        {"a", 1},
        {"aa", 2},
        {"aaa", 3},
        {"aaaa", 3},                        // literal + copy of 3
        {std::string(32, 'a'), 3},          // literal + copy of 31
        {std::string(33, 'a'), 4},          // the longest copy is 31, then a literal
        {std::string(34, 'a'), 5},
        {std::string(100, 'a'), 9},         // 1 + 2 * ceil(99 / 31)
        {"abcabc", 5},
        {std::string(4, '\0'), 3},         // nothing to copy from before the start
        {"\xE9", 2},                        // high bytes are escaped
        {"\xE9\xE9", 4},
        {"\xE9\xE9\xE9", 4},                // escape + copy of 2
        {"\xE9\xC3\xE9\xC3", 6},
        {"ab\xE9" "ab", 6},                 // a copy of 2 saves nothing on plain bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        Bytes stored = EncodeData(Of(row.text));
        EXPECT_EQ(row.size, stored.size());
        ExpectWriterRules(stored);
    }
}

TEST(DatEncode, WindowReachesExactly1023Back) {
    // "abcdefgh" repeated after a filler of other bytes: one copy at distance
    // 1023, eight literals at distance 1024.
    for (size_t distance : {1023u, 1024u}) {
        SCOPED_TRACE(distance);
        std::string head = "abcdefgh" + std::string(distance - 8, 'z');
        size_t extra = EncodeData(Of(head + "abcdefgh")).size() - EncodeData(Of(head)).size();
        EXPECT_EQ(distance == 1023 ? 2u : 8u, extra);
    }
}

TEST(DatEncode, FirstBytesAreScrambledFromTheSeed) {
    EXPECT_EQ((Bytes{'<' ^ 0xA7, 'r' ^ 0x4F, '>' ^ 0x9E}), EncodeData(Of("<r>")));
}

// Inputs of one kind and size, deterministic.
Bytes Sample(const std::string& kind, size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out;
    out.reserve(size);
    if (kind == "random") {
        while (out.size() < size) out.push_back(static_cast<uint8_t>(random()));
    } else if (kind == "repetitive") {
        while (out.size() < size) {
            size_t period = 1 + random() % 40, count = random() % 200;
            uint8_t base = static_cast<uint8_t>(random());
            for (size_t i = 0; i < count && out.size() < size; ++i) out.push_back(static_cast<uint8_t>(base + i % period));
        }
    } else {
        while (out.size() < size) {
            std::string line = "<FILE Name=\"C:\\WINDOWS\\" + std::to_string(random() % 5000) + ".dll\" Size=\"" +
                               std::to_string(random() % 99999) + "\">\xC3\xA9</FILE>\n";
            out.insert(out.end(), line.begin(), line.end());
        }
        out.resize(size);
    }
    return out;
}

TEST(DatEncode, RoundTripsKeepingTheWriterRules) {
    // Only one kind at 1 MB: the sanitized build encodes a megabyte in seconds.
    const size_t sizes[] = {0, 1, 2, 31, 32, 1023, 1024, 1025, 4096, 65536, 1 << 20};
    for (const char* kind : {"random", "repetitive", "xml"}) {
        for (size_t size : sizes) {
            if (size > 65536 && std::string(kind) != "xml") continue;
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(size));
            Bytes text = Sample(kind, size, static_cast<uint32_t>(size));
            Bytes stored = EncodeData(text);
            ExpectWriterRules(stored);
            Bytes back;
            std::string error;
            ASSERT_TRUE(DecodeData(stored, &back, &error)) << error;
            EXPECT_TRUE(back == text);
        }
    }
}

TEST(DatDecode, ValidStreams) {
    struct Row {
        const char* what;
        Bytes tokens;
        std::string text;
    } rows[] = {
        {"empty", {}, ""},
        {"escaped", {0x80, 'A', 0x80, 0xFF}, "A\xFF"},
        {"overlapping copy", {'a', 'b', 0x80 | 6 << 2, 2}, "abababab"},
        {"distance equal to the text", {'a', 'b', 0x80 | 2 << 2, 2}, "abab"},
        {"length-0 copies", {0x81, 0x00, 'a', 0x82, 0xFF, 0x83, 0x10}, "a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes out;
        std::string error;
        EXPECT_TRUE(DecodeData(Unscrambled(row.tokens), &out, &error)) << error;
        EXPECT_EQ(Of(row.text), out);
    }
}

TEST(DatDecode, ErrorsSayWhatAndWhere) {
    struct Row {
        Bytes tokens;
        std::string error;
        std::string before;  // decoded before the fault
    } rows[] = {
        {{0x80}, "at stored byte 0: data ends inside an escaped literal", ""},
        {{'a', 'b', 0x80}, "at stored byte 2: data ends inside an escaped literal", "ab"},
        {{'a', 0x84}, "at stored byte 1: data ends inside a copy", "a"},
        {{'a', 0x84, 0x00}, "at stored byte 1: copy with distance 0", "a"},
        {{'a', 0x84, 0x02}, "at stored byte 1: copy reaches before the start of the text", "a"},
        {{'a', 0x80, 'b', 0x87, 0xFF}, "at stored byte 3: copy reaches before the start of the text", "ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        Bytes out;
        std::string error;
        EXPECT_FALSE(DecodeData(Unscrambled(row.tokens), &out, &error));
        EXPECT_EQ(row.error, error);
        EXPECT_EQ(Of(row.before), out);
        EXPECT_FALSE(DecodeData(Unscrambled(row.tokens), &out, nullptr));
    }
}

}  // namespace
