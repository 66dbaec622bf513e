// Optimal parse: every copy costs two bytes whatever its length and distance,
// and a literal one or two. So the only thing the parse needs per position is
// the longest match in the window: every shorter length is then available at
// the same distance, and a backward pass over positions gives the minimum
// size exactly.
#include "tools/dat/codec.h"

#include <stdio.h>

#include <algorithm>

#include "script/container_codec.h"

namespace {

struct Match {
    uint8_t length;     // 0 when no earlier byte in the window matches
    uint16_t distance;  // a distance reaching `length` bytes
};

}  // namespace

static int LiteralCost(uint8_t byte) { return byte < TOKEN_ESCAPE ? 1 : 2; }

// Longest match per position, for every distance at once. Walking backward,
// run[m] holds the match length at distance 1024 - m, capped at the longest
// copy: it grows by one where the byte at i equals the byte that distance
// back and drops to 0 elsewhere. Fixed work per position whatever the data,
// in a loop of constant length that compilers turn into vector code.
static std::vector<Match> FindLongestMatches(const std::vector<uint8_t>& text) {
    enum { SPAN = TOKEN_MAX_DISTANCE + 1 };
    const size_t n = text.size();
    std::vector<Match> matches(n, Match{0, 0});
    // The text behind SPAN bytes of padding, so every window is in bounds.
    std::vector<uint8_t> padded(SPAN + n, 0);
    std::copy(text.begin(), text.end(), padded.begin() + SPAN);
    // 0xFF where the distance is usable: never 1024 (m = 0), and never before
    // the start of the text.
    uint8_t usable[SPAN];
    uint8_t run[SPAN] = {};
    for (size_t i = n; i-- > 0;) {
        if (i < SPAN || i + 1 == n) {
            for (size_t m = 0; m < SPAN; ++m) usable[m] = (m > 0 && m + i >= SPAN) ? 0xFF : 0;
        }
        const uint8_t* window = padded.data() + i;  // byte at distance 1024 - m
        const uint8_t byte = text[i];
        uint8_t longest = 0;
        for (size_t m = 0; m < SPAN; ++m) {
            unsigned grown = run[m] + (run[m] < TOKEN_MAX_COPY_LENGTH ? 1u : 0u);
            unsigned same = window[m] == byte ? 0xFFu : 0u;
            uint8_t value = static_cast<uint8_t>(grown & usable[m] & same);
            run[m] = value;
            longest = value > longest ? value : longest;
        }
        if (longest == 0) continue;
        size_t m = SPAN;  // the nearest distance with that length
        while (run[--m] != longest) {
        }
        matches[i] = Match{longest, static_cast<uint16_t>(SPAN - m)};
    }
    return matches;
}

static void Scramble(std::vector<uint8_t>* bytes) {
    uint32_t key = DATA_SEED;
    for (uint8_t& b : *bytes) {
        b = static_cast<uint8_t>(b ^ key);
        key = NextDataKey(key);
    }
}

std::vector<uint8_t> EncodeData(const std::vector<uint8_t>& text) {
    const size_t n = text.size();
    const std::vector<Match> matches = FindLongestMatches(text);

    // cost[i]: smallest token stream for text[i..]; take[i]: 0 for a
    // literal, else the copy length chosen at i.
    std::vector<uint32_t> cost(n + 1, 0);
    std::vector<uint8_t> take(n, 0);
    for (size_t i = n; i-- > 0;) {
        uint32_t best = LiteralCost(text[i]) + cost[i + 1];
        uint8_t choice = 0;
        for (int length = 1; length <= matches[i].length; ++length) {
            uint32_t c = 2 + cost[i + length];
            if (c < best) {
                best = c;
                choice = static_cast<uint8_t>(length);
            }
        }
        cost[i] = best;
        take[i] = choice;
    }

    std::vector<uint8_t> out;
    out.reserve(cost[0]);
    for (size_t i = 0; i < n;) {
        if (take[i] == 0) {
            if (text[i] >= TOKEN_ESCAPE) out.push_back(TOKEN_ESCAPE);
            out.push_back(text[i]);
            ++i;
        } else {
            unsigned distance = matches[i].distance;
            out.push_back(static_cast<uint8_t>(0x80 | take[i] << 2 | distance >> 8));
            out.push_back(static_cast<uint8_t>(distance & 0xFF));
            i += take[i];
        }
    }
    Scramble(&out);
    return out;
}

static bool Fail(std::string* error, size_t offset, const char* what) {
    if (error) {
        char line[160];
        snprintf(line, sizeof line, "at stored byte %lu: %s", static_cast<unsigned long>(offset), what);
        *error = line;
    }
    return false;
}

bool DecodeData(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out, std::string* error) {
    out->clear();
    out->reserve(bytes.size() * 4);
    uint32_t key = DATA_SEED;
    auto plain = [&](size_t at) {
        uint8_t b = static_cast<uint8_t>(bytes[at] ^ key);
        key = NextDataKey(key);
        return b;
    };

    for (size_t i = 0; i < bytes.size();) {
        const size_t start = i;
        uint8_t token = plain(i++);
        if (token < TOKEN_ESCAPE) {
            out->push_back(token);
            continue;
        }
        if (i == bytes.size())
            return Fail(error, start,
                        token == TOKEN_ESCAPE ? "data ends inside an escaped literal" : "data ends inside a copy");
        uint8_t second = plain(i++);
        if (token == TOKEN_ESCAPE) {
            out->push_back(second);
            continue;
        }
        size_t length = (token >> 2) & TOKEN_MAX_COPY_LENGTH;
        size_t distance = static_cast<size_t>(token & 3) << 8 | second;
        if (length == 0) continue;
        if (distance == 0) return Fail(error, start, "copy with distance 0");
        if (distance > out->size()) return Fail(error, start, "copy reaches before the start of the text");
        for (size_t k = 0; k < length; ++k) {
            uint8_t source = (*out)[out->size() - distance];  // not a reference: push_back may move the data
            out->push_back(source);
        }
    }
    return true;
}
