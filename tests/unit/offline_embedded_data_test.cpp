// The data a built program carries, read from its PE image: found through
// the resource table, and refused, never read past the image, when the
// image or its table is damaged.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

#include "offline/embedded_data.h"

namespace {

void Put16(std::string* b, size_t at, uint32_t v) {
    (*b)[at] = static_cast<char>(v);
    (*b)[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (8 * i));
}

// A 32-bit image with one section, .rsrc at 0x1000 (file offset 0x200),
// whose RCDATA 101 holds "DATA".
std::string SmallImage() {
    std::string b(0x400, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    Put32(&b, 0x3C, 0x40);
    Put32(&b, 0x40, 0x4550);
    Put16(&b, 0x46, 1);       // sections
    Put16(&b, 0x54, 0xE0);    // optional header size
    Put16(&b, 0x58, 0x10B);   // PE32
    Put32(&b, 0x58 + 96 + 16, 0x1000);  // the resource directory
    size_t section = 0x58 + 0xE0;
    Put32(&b, section + 8, 0x200);
    Put32(&b, section + 12, 0x1000);
    Put32(&b, section + 16, 0x200);
    Put32(&b, section + 20, 0x200);
    const size_t r = 0x200;
    Put16(&b, r + 14, 1);
    Put32(&b, r + 16, 10);  // RT_RCDATA
    Put32(&b, r + 20, 0x80000000u | 0x18);
    Put16(&b, r + 0x18 + 14, 1);
    Put32(&b, r + 0x18 + 16, 101);
    Put32(&b, r + 0x18 + 20, 0x80000000u | 0x30);
    Put16(&b, r + 0x30 + 14, 1);
    Put32(&b, r + 0x30 + 16, 1033);
    Put32(&b, r + 0x30 + 20, 0x48);
    Put32(&b, r + 0x48, 0x1000 + 0x58);
    Put32(&b, r + 0x48 + 4, 4);
    b.replace(r + 0x58, 4, "DATA");
    return b;
}

TEST(OfflineEmbeddedData, FindsTheDataAndRefusesDamagedImages) {
    std::string data, problem;
    ASSERT_TRUE(FindEmbeddedData(SmallImage(), 101, &data, &problem)) << problem;
    EXPECT_EQ(data, "DATA");
    struct Row {
        int row;
        std::string image;
        uint32_t id;
        const char* problem;
    };
    std::string noMz = SmallImage(), outside = SmallImage(), loop = SmallImage(), huge = SmallImage();
    noMz[0] = 'X';
    Put32(&outside, 0x200 + 0x48 + 4, 0x10000);          // the data runs past the image
    Put32(&loop, 0x200 + 20, 0x80000000u | 0x7FFFFFF0u);  // a subdirectory far outside it
    Put32(&huge, 0x3C, 0xFFFFFFF0u);                      // a header beyond the end
    const Row rows[] = {
        {1, noMz, 101, "it is not a Windows program"},
        {2, SmallImage().substr(0, 0x100), 101, "it holds no resources"},
        {3, SmallImage(), 102, "it holds no data file"},
        {4, outside, 101, "its data file lies outside it"},
        {5, loop, 101, "it holds no data file"},
        {6, huge, 101, "it is not a Windows program"},
        {7, "", 101, "it is not a Windows program"},
    };
    for (const Row& r : rows) {
        problem.clear();
        EXPECT_FALSE(FindEmbeddedData(r.image, r.id, &data, &problem)) << "row " << r.row;
        EXPECT_EQ(problem, r.problem) << "row " << r.row;
    }
}

}  // namespace
