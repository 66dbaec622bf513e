#include "offline/embedded_data.h"

namespace {

const uint32_t kRcData = 10;  // RT_RCDATA
const uint32_t kSubdirectory = 0x80000000u;

struct Image {
    const std::string& bytes;
    uint32_t sections, sectionCount;
};

bool Read16(const std::string& b, uint64_t at, uint32_t* v) {
    if (at + 2 > b.size()) return false;
    *v = static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
    return true;
}

bool Read32(const std::string& b, uint64_t at, uint32_t* v) {
    if (at + 4 > b.size()) return false;
    *v = 0;
    for (int i = 3; i >= 0; --i) *v = *v << 8 | static_cast<uint8_t>(b[at + i]);
    return true;
}

// The file offset of an address of the loaded image.
bool OffsetOf(const Image& image, uint32_t rva, uint64_t* offset) {
    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        uint64_t s = image.sections + 40ull * i;
        uint32_t virtualSize, address, rawSize, raw;
        if (!Read32(image.bytes, s + 8, &virtualSize) || !Read32(image.bytes, s + 12, &address) ||
            !Read32(image.bytes, s + 16, &rawSize) || !Read32(image.bytes, s + 20, &raw))
            return false;
        uint32_t size = virtualSize > rawSize ? virtualSize : rawSize;
        if (rva >= address && rva - address < size) {
            *offset = static_cast<uint64_t>(raw) + (rva - address);
            return true;
        }
    }
    return false;
}

// The entry of the directory at offset whose id is wanted (any id when
// wanted is 0): its offset field, or false.
bool EntryOf(const std::string& b, uint64_t directory, uint32_t wanted, uint32_t* target) {
    uint32_t named, ids;
    if (!Read16(b, directory + 12, &named) || !Read16(b, directory + 14, &ids)) return false;
    for (uint32_t i = 0; i < named + ids; ++i) {
        uint32_t name, offset;
        if (!Read32(b, directory + 16 + 8ull * i, &name) || !Read32(b, directory + 20 + 8ull * i, &offset)) return false;
        if (!(name & kSubdirectory) && (wanted == 0 || name == wanted)) {
            *target = offset;
            return true;
        }
    }
    return false;
}

}  // namespace

bool FindEmbeddedData(const std::string& bytes, uint32_t id, std::string* data, std::string* problem) {
    uint32_t peOffset, signature, sectionCount, optionalSize, magic;
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0 || !Read32(bytes, 0x3C, &peOffset) ||
        !Read32(bytes, peOffset, &signature) || signature != 0x4550 || !Read16(bytes, peOffset + 6ull, &sectionCount) ||
        !Read16(bytes, peOffset + 20ull, &optionalSize) || !Read16(bytes, peOffset + 24ull, &magic)) {
        *problem = "it is not a Windows program";
        return false;
    }
    uint64_t optional = peOffset + 24ull;
    // The resource table is the third data directory.
    uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    uint32_t resourceRva;
    Image image = {bytes, static_cast<uint32_t>(optional + optionalSize), sectionCount};
    uint64_t root;
    uint32_t next, dataRva, size;
    if (!Read32(bytes, directories + 2 * 8, &resourceRva) || resourceRva == 0 || !OffsetOf(image, resourceRva, &root)) {
        *problem = "it holds no resources";
        return false;
    }
    if (!EntryOf(bytes, root, kRcData, &next) || !(next & kSubdirectory) ||
        !EntryOf(bytes, root + (next & ~kSubdirectory), id, &next) || !(next & kSubdirectory) ||
        !EntryOf(bytes, root + (next & ~kSubdirectory), 0, &next) || (next & kSubdirectory)) {
        *problem = "it holds no data file";
        return false;
    }
    uint64_t entry = root + next, offset;
    if (!Read32(bytes, entry, &dataRva) || !Read32(bytes, entry + 4, &size) || !OffsetOf(image, dataRva, &offset) ||
        offset + size > bytes.size()) {
        *problem = "its data file lies outside it";
        return false;
    }
    data->assign(bytes, offset, size);
    return true;
}
