// mendrix-dat-bench: checks that the encoder's parse is as small as an
// exhaustive search finds, on many small inputs, and times a 1 MB encode.
// Also times collecting a 16 MB element text one character at a time, the
// way the parser may hand it over. Prints numbers; exit 1 when a size
// differs, a round trip fails or the collected text is wrong.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "script/container_codec.h"
#include "script/text_util.h"
#include "tools/dat/codec.h"

// Smallest token stream by trying every literal and every (length, distance)
// pair at every position, memoized on the position. Deliberately naive.
static uint32_t BruteForceSize(const std::vector<uint8_t>& text, size_t at, std::vector<int64_t>* memo) {
    const size_t n = text.size();
    if (at == n) return 0;
    if ((*memo)[at] >= 0) return static_cast<uint32_t>((*memo)[at]);
    uint32_t best = (text[at] < 0x80 ? 1u : 2u) + BruteForceSize(text, at + 1, memo);
    for (size_t length = 1; length <= TOKEN_MAX_COPY_LENGTH && at + length <= n; ++length) {
        for (size_t distance = 1; distance <= TOKEN_MAX_DISTANCE && distance <= at; ++distance) {
            bool same = true;
            for (size_t k = 0; k < length && same; ++k) same = text[at + k] == text[at + k - distance];
            if (!same) continue;
            uint32_t size = 2 + BruteForceSize(text, at + length, memo);
            if (size < best) best = size;
        }
    }
    (*memo)[at] = best;
    return best;
}

struct Family {
    const char* name;
    std::vector<uint8_t> alphabet;
};

static int CompareWithBruteForce() {
    const Family families[] = {
        {"1 letter", {'a'}},
        {"2 letters", {'a', 'b'}},
        {"3 letters", {'a', 'b', 'c'}},
        {"2 high bytes", {0x80, 0xFF}},
        {"mixed", {'a', 'b', 0x80, 0xC3}},
    };
    std::mt19937 random(20240601);
    int failures = 0;
    printf("%-14s %7s %12s %12s %s\n", "alphabet", "inputs", "encoder", "exhaustive", "equal");
    for (const Family& family : families) {
        uint64_t encoderTotal = 0, bruteTotal = 0;
        int inputs = 0, differing = 0;
        for (size_t length = 0; length <= 40; ++length) {
            for (int sample = 0; sample < 60; ++sample) {
                std::vector<uint8_t> text(length);
                // Half the samples repeat a short random period, which gives
                // long overlapping copies; the rest are plain random.
                size_t period = sample % 2 ? 1 + random() % 5 : length + 1;
                for (size_t i = 0; i < length; ++i)
                    text[i] = i >= period ? text[i - period]
                                          : family.alphabet[random() % family.alphabet.size()];
                std::vector<uint8_t> stored = EncodeData(text);
                std::vector<int64_t> memo(length, -1);
                uint32_t brute = BruteForceSize(text, 0, &memo);
                std::vector<uint8_t> back;
                bool roundTrip = DecodeData(stored, &back, nullptr) && back == text;
                if (stored.size() != brute || !roundTrip) {
                    ++differing;
                    if (differing <= 3)
                        printf("  differs: length %lu, encoder %lu, exhaustive %u, round trip %s\n",
                               static_cast<unsigned long>(length), static_cast<unsigned long>(stored.size()), brute,
                               roundTrip ? "ok" : "FAILED");
                }
                encoderTotal += stored.size();
                bruteTotal += brute;
                ++inputs;
            }
        }
        printf("%-14s %7d %12llu %12llu %s\n", family.name, inputs, static_cast<unsigned long long>(encoderTotal),
               static_cast<unsigned long long>(bruteTotal), differing ? "NO" : "yes");
        failures += differing;
    }
    return failures;
}

// Markup with the shape of a data file: nested elements, repeated names and
// attribute spellings, varying paths and numbers.
static std::vector<uint8_t> XmlLikeText(size_t size) {
    static const char* const names[] = {"FILE", "PROCESS", "REGISTRY", "SERVICE", "DIRECTORY", "PATTERN", "ACTION"};
    static const char* const words[] = {"system32", "Windows", "Temp", "Program Files", "drivers", "startup"};
    std::mt19937 random(7);
    std::string s = "<?xml version=\"1.0\"?>\n<CLEANER DataFile=\"bench\" Version=\"1.0\" Type=\"Worm\">\n";
    while (s.size() < size) {
        const char* name = names[random() % 7];
        s += "  <";
        s += name;
        s += " Name=\"%WINDIR%\\";
        s += words[random() % 6];
        s += "\\";
        for (int k = 0; k < 6; ++k) s += static_cast<char>('a' + random() % 26);
        s += ".exe\" Size=\"" + std::to_string(random() % 1000000) + "\" os=\"WINNT\">\n";
        s += "    <PRINT>Removing ";
        s += name;
        s += " entry ";
        s += std::to_string(random());
        s += "</PRINT>\n  </";
        s += name;
        s += ">\n";
    }
    s.resize(size);
    return std::vector<uint8_t>(s.begin(), s.end());
}

static bool TimeEncode(const char* label, const std::vector<uint8_t>& text) {
    auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> stored = EncodeData(text);
    auto middle = std::chrono::steady_clock::now();
    std::vector<uint8_t> back;
    bool ok = DecodeData(stored, &back, nullptr) && back == text;
    auto end = std::chrono::steady_clock::now();
    printf("%-22s %9lu -> %9lu bytes (%5.1f%%)  encode %.3f s  decode %.3f s  round trip %s\n", label,
           static_cast<unsigned long>(text.size()), static_cast<unsigned long>(stored.size()), text.empty() ? 0.0 : 100.0 * stored.size() / text.size(),
           std::chrono::duration<double>(middle - start).count(),
           std::chrono::duration<double>(end - middle).count(), ok ? "ok" : "FAILED");
    return ok;
}

static bool TimeCollect(size_t size) {
    std::string text(size, 0);
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    char* slot = nullptr;
    TextTail tail = {};
    auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (size_t i = 0; i < size && ok; ++i) ok = AppendText(&slot, &text[i], 1, &tail);
    auto end = std::chrono::steady_clock::now();
    ok = ok && slot && strlen(slot) == size && memcmp(slot, text.data(), size) == 0;
    printf("collect %lu MB text in 1-byte pieces  %.3f s  %s\n", static_cast<unsigned long>(size >> 20),
           std::chrono::duration<double>(end - start).count(), ok ? "ok" : "WRONG");
    free(slot);
    return ok;
}

int main() {
    int failures = CompareWithBruteForce();
    printf("\n");
    const size_t megabyte = 1 << 20;
    bool ok = TimeEncode("1 MB XML-like", XmlLikeText(megabyte));

    std::mt19937 random(3);
    std::vector<uint8_t> text(megabyte);
    for (uint8_t& b : text) b = static_cast<uint8_t>(random());
    ok &= TimeEncode("1 MB random bytes", text);
    for (uint8_t& b : text) b = "ab"[random() % 2];
    ok &= TimeEncode("1 MB random a/b", text);
    // Runs just short of the longest copy: many window candidates that each
    // fall short, the slow case for a chained match search.
    for (size_t i = 0; i < text.size(); ++i) text[i] = i % 31 == 30 ? static_cast<uint8_t>('0' + random() % 10) : 'a';
    ok &= TimeEncode("1 MB near-miss runs", text);

    printf("\n");
    ok &= TimeCollect(16u << 20);

    printf("\nsizes %s\n", failures ? "DIFFER" : "all equal");
    return failures || !ok ? 1 : 0;
}
