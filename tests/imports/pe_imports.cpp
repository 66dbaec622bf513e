#include "tests/imports/pe_imports.h"

namespace {

struct Section {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

struct Reader {
    const std::vector<uint8_t>& bytes;
    std::vector<Section> sections;
    std::string* error;

    bool Fail(const std::string& what) {
        if (error->empty()) *error = what;
        return false;
    }
    bool U16(uint64_t offset, uint16_t* v) {
        if (offset + 2 > bytes.size()) return Fail("truncated image");
        *v = static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
        return true;
    }
    bool U32(uint64_t offset, uint32_t* v) {
        if (offset + 4 > bytes.size()) return Fail("truncated image");
        *v = static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
             static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
        return true;
    }
    bool U64(uint64_t offset, uint64_t* v) {
        uint32_t low, high;
        if (!U32(offset, &low) || !U32(offset + 4, &high)) return false;
        *v = static_cast<uint64_t>(high) << 32 | low;
        return true;
    }
    // File offset of an address relative to the image base.
    bool Offset(uint32_t rva, uint64_t* offset) {
        for (const Section& s : sections) {
            uint32_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva - s.virtualAddress < size) {
                if (rva - s.virtualAddress >= s.rawSize) return Fail("address in uninitialised data");
                *offset = static_cast<uint64_t>(s.rawOffset) + (rva - s.virtualAddress);
                return true;
            }
        }
        return Fail("address outside every section");
    }
    bool String(uint32_t rva, std::string* out) {
        uint64_t offset;
        if (!Offset(rva, &offset)) return false;
        out->clear();
        for (uint64_t i = offset; i < bytes.size(); ++i) {
            if (!bytes[i]) return true;
            if (out->size() > 4096) break;
            out->push_back(static_cast<char>(bytes[i]));
        }
        return Fail("unterminated name");
    }
    // One table of thunks: names or ordinals until the zero entry.
    bool Thunks(uint32_t rva, bool wide, const std::string& dll, bool delayed, uint64_t bias,
                std::vector<PeImport>* out) {
        uint64_t offset;
        if (!Offset(rva, &offset)) return false;
        for (int n = 0; n < 65536; ++n, offset += wide ? 8 : 4) {
            uint64_t thunk;
            if (wide) {
                if (!U64(offset, &thunk)) return false;
            } else {
                uint32_t t;
                if (!U32(offset, &t)) return false;
                thunk = t;
            }
            if (!thunk) return true;
            uint64_t ordinalFlag = wide ? 1ull << 63 : 1ull << 31;
            PeImport import{dll, "", delayed};
            if (thunk & ordinalFlag) {
                import.function = "#" + std::to_string(thunk & 0xFFFF);
            } else if (!String(static_cast<uint32_t>(thunk - bias) + 2, &import.function)) {
                return false;
            }
            out->push_back(import);
        }
        return Fail("import table without an end");
    }
};

}  // namespace

bool ReadPeImage(const std::vector<uint8_t>& bytes, PeImage* image, std::string* error) {
    error->clear();
    *image = PeImage{};
    Reader r{bytes, {}, error};
    uint32_t peOffset;
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return r.Fail("not an MZ image");
    if (!r.U32(0x3C, &peOffset)) return false;
    uint32_t signature;
    if (!r.U32(peOffset, &signature) || signature != 0x00004550) return r.Fail("no PE signature");
    uint64_t coff = static_cast<uint64_t>(peOffset) + 4;
    uint16_t sectionCount, optionalSize, magic;
    if (!r.U16(coff, &image->machine) || !r.U16(coff + 2, &sectionCount) || !r.U16(coff + 16, &optionalSize))
        return false;
    uint64_t opt = coff + 20;
    if (!r.U16(opt, &magic)) return false;
    if (magic != 0x10B && magic != 0x20B) return r.Fail("unknown optional header");
    image->pe32Plus = magic == 0x20B;
    if (!r.U16(opt + 40, &image->osMajor) || !r.U16(opt + 42, &image->osMinor) ||
        !r.U16(opt + 48, &image->subsystemMajor) || !r.U16(opt + 50, &image->subsystemMinor))
        return false;
    uint64_t imageBase;
    if (image->pe32Plus) {
        if (!r.U64(opt + 24, &imageBase)) return false;
    } else {
        uint32_t base;
        if (!r.U32(opt + 28, &base)) return false;
        imageBase = base;
    }
    uint64_t directories = opt + (image->pe32Plus ? 112 : 96);
    uint32_t directoryCount;
    if (!r.U32(opt + (image->pe32Plus ? 108 : 92), &directoryCount)) return false;

    uint64_t sectionTable = opt + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint64_t at = sectionTable + 40ull * i;
        Section s;
        if (!r.U32(at + 8, &s.virtualSize) || !r.U32(at + 12, &s.virtualAddress) || !r.U32(at + 16, &s.rawSize) ||
            !r.U32(at + 20, &s.rawOffset))
            return false;
        r.sections.push_back(s);
    }

    uint32_t importRva = 0, delayRva = 0;
    if (directoryCount > 1 && !r.U32(directories + 8 * 1, &importRva)) return false;
    if (directoryCount > 13 && !r.U32(directories + 8 * 13, &delayRva)) return false;

    if (importRva) {
        uint64_t at;
        if (!r.Offset(importRva, &at)) return false;
        for (int n = 0;; ++n, at += 20) {
            if (n > 4096) return r.Fail("import directory without an end");
            uint32_t lookup, nameRva, iat;
            if (!r.U32(at, &lookup) || !r.U32(at + 12, &nameRva) || !r.U32(at + 16, &iat)) return false;
            if (!lookup && !nameRva && !iat) break;
            std::string dll;
            if (!r.String(nameRva, &dll) || !r.Thunks(lookup ? lookup : iat, image->pe32Plus, dll, false, 0, &image->imports))
                return false;
        }
    }
    if (delayRva) {
        uint64_t at;
        if (!r.Offset(delayRva, &at)) return false;
        for (int n = 0;; ++n, at += 32) {
            if (n > 4096) return r.Fail("delay-import directory without an end");
            uint32_t attributes, nameAddress, nameTable;
            if (!r.U32(at, &attributes) || !r.U32(at + 4, &nameAddress) || !r.U32(at + 16, &nameTable)) return false;
            if (!nameAddress) break;
            // Old linkers wrote addresses, not offsets from the image base.
            uint64_t bias = 0;
            if (!(attributes & 1)) {
                bias = imageBase;
                nameAddress = static_cast<uint32_t>(nameAddress - imageBase);
                nameTable = static_cast<uint32_t>(nameTable - imageBase);
            }
            std::string dll;
            if (!r.String(nameAddress, &dll) || !r.Thunks(nameTable, image->pe32Plus, dll, true, bias, &image->imports))
                return false;
        }
    }
    return true;
}
