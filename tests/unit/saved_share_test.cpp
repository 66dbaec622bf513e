// Saved network shares without the registry: the save numbers and their
// limit, the subkey names, the values a record turns into and the ADMIN$
// test of restoration.
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
