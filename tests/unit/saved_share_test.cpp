// Saved network shares without the registry: the save numbers, their limit
// and their start past the records left, the subkey names, the values a
// record turns into, the buffers texts are read into, the check of a saved
// security descriptor and the ADMIN$ test of restoration.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "system/saved_share.h"

namespace {

TEST(SaveNumbers, CountOnFromZeroAndStopAtOneThousand) {
    uint32_t counter = 0, number = 12345;
    ASSERT_TRUE(TakeSaveNumber(&counter, &number));
    EXPECT_EQ(0u, number);
    ASSERT_TRUE(TakeSaveNumber(&counter, &number));
    EXPECT_EQ(1u, number);
    counter = 999;
    ASSERT_TRUE(TakeSaveNumber(&counter, &number));
    EXPECT_EQ(999u, number);
    EXPECT_EQ(1000u, counter);
    number = 7;
    EXPECT_FALSE(TakeSaveNumber(&counter, &number));
    EXPECT_EQ(7u, number) << "no number is handed out past the limit";
    EXPECT_EQ(1000u, counter);
}

TEST(SaveNumbers, TheFamiliesCountApart) {
    uint32_t nt = g_savedSharesNt, nine = g_savedShares9x, number;
    g_savedSharesNt = 0;
    g_savedShares9x = 5;
    ASSERT_TRUE(TakeSaveNumber(&g_savedSharesNt, &number));
    EXPECT_EQ(0u, number);
    EXPECT_EQ(5u, g_savedShares9x);
    g_savedSharesNt = nt;
    g_savedShares9x = nine;
}

// Records no restoration has taken yet are never written over: the counter
// moves past the highest, never back.
TEST(SaveNumbers, StartPastTheRecordsLeft) {
    struct Row {
        int row;
        uint32_t counter;
        int32_t highest;
        uint32_t after;
    } rows[] = {{1, 0, -1, 0}, {2, 0, 0, 1}, {3, 0, 41, 42}, {4, 50, 41, 50}, {5, 42, 41, 42}, {6, 0, 999, 1000}};
    for (const Row& r : rows) {
        uint32_t counter = r.counter, number;
        CountPastRecords(&counter, r.highest);
        EXPECT_EQ(r.after, counter) << "row " << r.row;
        EXPECT_EQ(r.after < 1000, TakeSaveNumber(&counter, &number)) << "row " << r.row;
    }
    struct NameRow {
        int row;
        const char* name;
        bool record;
        uint32_t number;
    } names[] = {{1, "Share000", true, 0}, {2, "Share042", true, 42}, {3, "Share999", true, 999},
                 {4, "Share1000", false, 0}, {5, "Share42", false, 0}, {6, "share042", false, 0},
                 {7, "Share04x", false, 0},  {8, "Other", false, 0}};
    for (const NameRow& r : names) {
        uint32_t number = 0;
        EXPECT_EQ(r.record, ParseShareSubkey(r.name, &number)) << "row " << r.row;
        EXPECT_EQ(r.number, number) << "row " << r.row;
    }
}

struct NameRow {
    int row;
    uint32_t number;
    const char* subkey;
    const char* path;
};

const NameRow kNameRows[] = {
    {1, 0, "Share000", "SOFTWARE\\Mendrix\\Share000"},
    {2, 5, "Share005", "SOFTWARE\\Mendrix\\Share005"},
    {3, 42, "Share042", "SOFTWARE\\Mendrix\\Share042"},
    {4, 999, "Share999", "SOFTWARE\\Mendrix\\Share999"},
};

TEST(ShareSubkeys, ThreeDigitsWithLeadingZeros) {
    for (const NameRow& r : kNameRows) {
        char subkey[SHARE_SUBKEY_NAME_SIZE], path[SHARE_SUBKEY_PATH_SIZE];
        FormatShareSubkey(subkey, sizeof subkey, r.number);
        FormatShareSubkeyPath(path, sizeof path, r.number);
        EXPECT_STREQ(r.subkey, subkey) << "row " << r.row;
        EXPECT_STREQ(r.path, path) << "row " << r.row;
    }
}

std::string Bytes(const ShareValue& v) {
    return v.data ? std::string(static_cast<const char*>(v.data), v.size) : std::string();
}

std::string Describe(const ShareValue* values, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += values[i].name;
        out += values[i].type == SHARE_VALUE_DWORD ? ":dword " : ":binary ";
        out += std::to_string(values[i].size) + "; ";
    }
    return out;
}

TEST(ShareValues, NineXRecordWritesEveryValueInOrder) {
    char name[] = "DOCS", remark[] = "papers", path[] = "C:\\DOCS", ro[] = "read", rw[] = "write";
    SavedShare s = {};
    s.name = reinterpret_cast<unsigned char*>(name);
    s.nameLength = 5;
    s.type = 0;
    s.flags = 0x0191;
    s.remark = reinterpret_cast<unsigned char*>(remark);
    s.remarkLength = 7;
    s.path = reinterpret_cast<unsigned char*>(path);
    s.pathLength = 8;
    s.readOnlyPassword = reinterpret_cast<unsigned char*>(ro);
    s.readOnlyPasswordLength = 5;
    s.fullPassword = reinterpret_cast<unsigned char*>(rw);
    s.fullPasswordLength = 6;
    ShareValue v[SHARE_VALUE_COUNT];
    int n = PlanShareValues(&s, v);
    EXPECT_EQ("name:binary 5; type:dword 4; flags:dword 4; permissions:dword 4; max_uses:dword 4; "
              "remark:binary 7; path:binary 8; passwordro:binary 5; passwordrw:binary 6; ",
              Describe(v, n));
    EXPECT_EQ(std::string("DOCS", 5), Bytes(v[0]));
    EXPECT_EQ(std::string("\x91\x01\0\0", 4), Bytes(v[2]));
    EXPECT_EQ(std::string("C:\\DOCS", 8), Bytes(v[6]));
    EXPECT_EQ(std::string("write", 6), Bytes(v[8]));
}

TEST(ShareValues, AbsentTextsAreLeftOutButTheRemarkIsWrittenEmpty) {
    // An NT administrative share: wide name, no remark, no password.
    const char16_t name[] = u"C$";
    const char16_t path[] = u"C:\\";
    SavedShare s = {};
    s.name = reinterpret_cast<unsigned char*>(const_cast<char16_t*>(name));
    s.nameLength = sizeof name;
    s.type = SHARE_TYPE_SPECIAL;
    s.permissions = 0x7F;
    s.maxUses = 0xFFFFFFFFu;
    s.path = reinterpret_cast<unsigned char*>(const_cast<char16_t*>(path));
    s.pathLength = sizeof path;
    ShareValue v[SHARE_VALUE_COUNT];
    int n = PlanShareValues(&s, v);
    EXPECT_EQ("name:binary 6; type:dword 4; flags:dword 4; permissions:dword 4; max_uses:dword 4; "
              "remark:binary 0; path:binary 8; ",
              Describe(v, n));
    EXPECT_EQ(std::string("C\0$\0\0\0", 6), Bytes(v[0]));
    EXPECT_EQ(std::string("\0\0\0\x80", 4), Bytes(v[1]));
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), Bytes(v[4]));
    EXPECT_EQ(nullptr, v[5].data);

    s.name = nullptr;
    s.path = nullptr;
    n = PlanShareValues(&s, v);
    EXPECT_EQ("type:dword 4; flags:dword 4; permissions:dword 4; max_uses:dword 4; remark:binary 0; ",
              Describe(v, n));
}

TEST(ShareValues, TheSecurityDescriptorComesLastAndOnlyWhenThere) {
    const char16_t name[] = u"DOCS";
    unsigned char descriptor[20] = {1, 0, 0x04, 0x80};
    SavedShare s = {};
    s.name = reinterpret_cast<unsigned char*>(const_cast<char16_t*>(name));
    s.nameLength = sizeof name;
    s.security = descriptor;
    s.securityLength = sizeof descriptor;
    ShareValue v[SHARE_VALUE_COUNT];
    int n = PlanShareValues(&s, v);
    EXPECT_EQ("name:binary 10; type:dword 4; flags:dword 4; permissions:dword 4; max_uses:dword 4; "
              "remark:binary 0; security:binary 20; ",
              Describe(v, n));
}

// A value is read with zero bytes behind it that end it as text of either
// width, odd lengths included.
TEST(SavedTexts, RoomForATerminatorWhateverTheLength) {
    for (uint32_t size : {0u, 1u, 2u, 5u, 6u, 513u}) {
        uint32_t room = SavedTextBufferSize(size);
        EXPECT_GE(room, size + 1) << size;              // a narrow terminator
        EXPECT_EQ(0u, room % 2) << size;                // whole wide units
        EXPECT_GE(room, (size + 1) / 2 * 2 + 2) << size;  // a wide terminator after the last unit
    }
}

struct DescriptorRow {
    int row;
    std::string bytes;
    bool fits;
};

TEST(SavedDescriptors, OnlyWholeSelfRelativeOnesAreUsed) {
    // Header, then an owner SID (S-1-5-32-544) at 20 and an empty access
    // list at 36.
    const std::string header("\x01\0\x04\x80" "\x14\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x24\0\0\0", 20);
    const std::string owner("\x01\x02\0\0\0\0\0\x05" "\x20\0\0\0" "\x20\x02\0\0", 16);
    const std::string acl("\x02\0\x08\0\0\0\0\0", 8);
    const DescriptorRow rows[] = {
        {1, header + owner + acl, true},
        {2, header + owner + acl.substr(0, 6), false},                                // list cut short
        {3, header + owner.substr(0, 12), false},                                    // owner cut short
        {4, std::string("\x01\0\x04\0", 4) + header.substr(4) + owner + acl, false},  // not self-relative
        {5, std::string("\x02", 1) + header.substr(1) + owner + acl, false},          // another revision
        {6, header.substr(0, 4) + std::string(16, '\0'), true},                        // nothing in it
        {7, header.substr(0, 16) + std::string("\xF0\xFF\xFF\xFF", 4) + owner + acl, false},  // far past the end
        {8, "", false},
    };
    for (const DescriptorRow& r : rows)
        EXPECT_EQ(r.fits, SavedDescriptorFits(reinterpret_cast<const unsigned char*>(r.bytes.data()),
                                              static_cast<uint32_t>(r.bytes.size())))
            << "row " << r.row;
}

struct AdminRow {
    int row;
    std::u16string name;
    bool admin;
};

const AdminRow kAdminRows[] = {
    {1, u"ADMIN$", true}, {2, u"admin$", true}, {3, u"Admin$", true}, {4, u"ADMIN", false},
    {5, u"ADMIN$X", false}, {6, u"C$", false}, {7, u"", false},  {8, u"ADMIN\x0130$", false},
};

TEST(AdminShare, NamedWithoutRegardToLetterCase) {
    for (const AdminRow& r : kAdminRows)
        EXPECT_EQ(r.admin, IsAdminShareName(reinterpret_cast<const uint16_t*>(r.name.c_str()))) << "row " << r.row;
}

}  // namespace
