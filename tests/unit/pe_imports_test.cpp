// The import reader of the load test, on small images made here: both
// import tables, names and ordinals, old-style delay entries, and every
// truncation of a valid image read without running off its end.
#include <gtest/gtest.h>
#include <string.h>

#include "tests/imports/pe_imports.h"

namespace {

const uint32_t kSectionRva = 0x1000, kSectionFile = 0x200;

struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kSectionFile + 0x1000);
    void U16(size_t at, uint16_t v) { bytes[at] = v & 0xFF, bytes[at + 1] = v >> 8; }
    void U32(size_t at, uint32_t v) { U16(at, v & 0xFFFF), U16(at + 2, v >> 16); }
    size_t Rva(uint32_t rva) const { return kSectionFile + rva - kSectionRva; }
    void Text(uint32_t rva, const char* s) { memcpy(&bytes[Rva(rva)], s, strlen(s) + 1); }
};

// A 32-bit image with KERNEL32 imported (a name and ordinal 5) and NETAPI32
// delay-loaded; oldStyleDelay writes the delay entry with addresses.
Image MakeImage(bool oldStyleDelay = false) {
    Image m;
    const uint32_t base = 0x400000;
    m.bytes[0] = 'M', m.bytes[1] = 'Z';
    m.U32(0x3C, 0x40);
    m.U32(0x40, 0x00004550);
    m.U16(0x44, 0x14C);      // machine
    m.U16(0x46, 1);          // sections
    m.U16(0x54, 0xE0);       // optional header size
    const size_t opt = 0x58;
    m.U16(opt, 0x10B);
    m.U32(opt + 28, base);
    m.U16(opt + 40, 4), m.U16(opt + 42, 0), m.U16(opt + 48, 4), m.U16(opt + 50, 10);
    m.U32(opt + 92, 16);
    m.U32(opt + 96 + 8 * 1, 0x1000);   // imports
    m.U32(opt + 96 + 8 * 13, 0x1100);  // delay imports
    const size_t section = opt + 0xE0;
    m.U32(section + 8, 0x1000), m.U32(section + 12, kSectionRva), m.U32(section + 16, 0x1000),
        m.U32(section + 20, kSectionFile);

    m.U32(m.Rva(0x1000), 0x1200), m.U32(m.Rva(0x1000) + 12, 0x1300), m.U32(m.Rva(0x1000) + 16, 0x1200);
    const uint32_t bias = oldStyleDelay ? base : 0;
    m.U32(m.Rva(0x1100), oldStyleDelay ? 0 : 1);
    m.U32(m.Rva(0x1100) + 4, 0x1340 + bias), m.U32(m.Rva(0x1100) + 16, 0x1280 + bias);
    m.U32(m.Rva(0x1200), 0x1400), m.U32(m.Rva(0x1204), 0x80000005);
    m.U32(m.Rva(0x1280), 0x1420 + bias);
    m.Text(0x1300, "KERNEL32.dll"), m.Text(0x1340, "NETAPI32.dll");
    m.Text(0x1402, "CloseHandle"), m.Text(0x1422, "NetShareEnum");
    return m;
}

std::string Describe(const PeImage& image) {
    std::string s;
    for (const PeImport& i : image.imports) s += i.dll + " " + i.function + (i.delayed ? " delayed" : "") + "\n";
    return s;
}

TEST(PeImports, ReadsBothTablesNamesAndOrdinals) {
    for (bool oldStyle : {false, true}) {
        SCOPED_TRACE(oldStyle);
        PeImage image;
        std::string error;
        ASSERT_TRUE(ReadPeImage(MakeImage(oldStyle).bytes, &image, &error)) << error;
        EXPECT_EQ("KERNEL32.dll CloseHandle\nKERNEL32.dll #5\nNETAPI32.dll NetShareEnum delayed\n", Describe(image));
        EXPECT_EQ(0x14C, image.machine);
        EXPECT_FALSE(image.pe32Plus);
        EXPECT_EQ(4, image.osMajor);
        EXPECT_EQ(10, image.subsystemMinor);
    }
}

TEST(PeImports, EveryTruncationIsAnErrorNotACrash) {
    std::vector<uint8_t> whole = MakeImage().bytes;
    for (size_t size = 0; size < whole.size(); size += 7) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
        PeImage image;
        std::string error;
        // Past the last string the image still reads; before it, it must fail.
        if (size <= 0x200 + 0x430) {
            EXPECT_FALSE(ReadPeImage(cut, &image, &error)) << size;
            EXPECT_FALSE(error.empty()) << size;
        }
    }
}

TEST(PeImports, TablesOutsideTheImageAndEndlessNamesFail) {
    Image m = MakeImage();
    m.U32(0x58 + 96 + 8, 0x9000);  // import directory outside every section
    PeImage image;
    std::string error;
    EXPECT_FALSE(ReadPeImage(m.bytes, &image, &error));
    EXPECT_EQ("address outside every section", error);

    Image endless = MakeImage();
    memset(&endless.bytes[endless.Rva(0x1422)], 'x', endless.bytes.size() - endless.Rva(0x1422));
    EXPECT_FALSE(ReadPeImage(endless.bytes, &image, &error));

    std::vector<uint8_t> notPe(256, 0);
    EXPECT_FALSE(ReadPeImage(notPe, &image, &error));
    EXPECT_EQ("not an MZ image", error);
}

}  // namespace
