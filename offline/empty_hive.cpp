#include "offline/empty_hive.h"

#include <stdint.h>
#include <string.h>

namespace {

const size_t kBaseBlock = 0x1000;
const size_t kBin = 0x1000;
const uint32_t kNone = 0xFFFFFFFFu;

void Put16(std::string* b, size_t at, uint16_t v) {
    (*b)[at] = static_cast<char>(v);
    (*b)[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (8 * i));
}
uint32_t Get32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

// A security descriptor, self-relative, with no owner and a null DACL.
const uint8_t kDescriptor[20] = {1, 0, 0x04, 0x80};

}  // namespace

std::string EmptyHiveBytes(const char* rootName) {
    std::string b(kBaseBlock + kBin, '\0');
    size_t nameLength = strlen(rootName);
    // The base block.
    memcpy(&b[0], "regf", 4);
    Put32(&b, 0x04, 1);      // sequence numbers, equal: the file is whole
    Put32(&b, 0x08, 1);
    Put32(&b, 0x14, 1);      // format 1.3
    Put32(&b, 0x18, 3);
    Put32(&b, 0x20, 1);      // a flat file
    Put32(&b, 0x24, 0x20);   // the root key's cell
    Put32(&b, 0x28, kBin);   // the bins' length
    Put32(&b, 0x2C, 1);
    uint32_t sum = 0;
    for (size_t at = 0; at < 0x1FC; at += 4) sum ^= Get32(b, at);
    if (sum == 0) sum = 1;
    if (sum == kNone) sum = kNone - 1;
    Put32(&b, 0x1FC, sum);
    // The bin.
    size_t bin = kBaseBlock;
    memcpy(&b[bin], "hbin", 4);
    Put32(&b, bin + 0x08, kBin);
    // The root key's cell.
    size_t nk = bin + 0x20;
    size_t nkSize = (4 + 0x4C + nameLength + 7) & ~size_t(7);
    size_t sk = nk + nkSize;
    Put32(&b, nk, static_cast<uint32_t>(-static_cast<int32_t>(nkSize)));
    memcpy(&b[nk + 4], "nk", 2);
    Put16(&b, nk + 4 + 0x02, 0x2C);  // the hive's entry, not deletable, name in ASCII
    Put32(&b, nk + 4 + 0x10, kNone);
    Put32(&b, nk + 4 + 0x1C, kNone);
    Put32(&b, nk + 4 + 0x20, kNone);
    Put32(&b, nk + 4 + 0x28, kNone);
    Put32(&b, nk + 4 + 0x2C, static_cast<uint32_t>(sk - bin));
    Put32(&b, nk + 4 + 0x30, kNone);
    Put16(&b, nk + 4 + 0x48, static_cast<uint16_t>(nameLength));
    memcpy(&b[nk + 4 + 0x4C], rootName, nameLength);
    // The security cell, a list of one that names itself.
    size_t skSize = (4 + 0x14 + sizeof kDescriptor + 7) & ~size_t(7);
    Put32(&b, sk, static_cast<uint32_t>(-static_cast<int32_t>(skSize)));
    memcpy(&b[sk + 4], "sk", 2);
    Put32(&b, sk + 4 + 0x04, static_cast<uint32_t>(sk - bin));
    Put32(&b, sk + 4 + 0x08, static_cast<uint32_t>(sk - bin));
    Put32(&b, sk + 4 + 0x0C, 1);
    Put32(&b, sk + 4 + 0x10, sizeof kDescriptor);
    memcpy(&b[sk + 4 + 0x14], kDescriptor, sizeof kDescriptor);
    // The rest of the bin is one free cell.
    size_t rest = sk + skSize;
    Put32(&b, rest, static_cast<uint32_t>(bin + kBin - rest));
    return b;
}
