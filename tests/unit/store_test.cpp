// Stores: list and single stores, the cursor, substitution of the first store
// name found, and the file-name cut.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "script/store.h"

namespace {

struct Add {
    const char* name;
    const char* text;
    int32_t isList;
};

class Stores : public ::testing::Test {
  protected:
    void SetUp() override { FreeStores(); }
    void TearDown() override { FreeStores(); }
    static void Fill(const std::vector<Add>& adds) {
        for (const Add& a : adds) AddToStore(a.name, a.text, a.isList);
    }
    // The result of one substitution; "<none>" when there was none. more
    // starts at 7 so that a call which must not touch it shows.
    static std::string Substitute(const char* text, int32_t* more) {
        *more = 7;
        char* result = SubstituteStore(text, more);
        std::string answer = result ? result : "<none>";
        free(result);
        return answer;
    }
};

TEST_F(Stores, OneSubstitution) {
    struct Row {
        int line;
        std::vector<Add> adds;
        const char* text;
        const char* expected;
        int32_t more;
    } rows[] = {
        {1, {}, "abc", "<none>", 7},
        {2, {{"X", "A", 0}}, "no name here", "<none>", 7},
        {3, {{"X", "A", 0}, {"X", "B", 0}}, "[X]", "[B]", 0},
        {4, {{"X", "A", 0}}, "X and X", "A and X", 0},
        {5, {{"X", "A", 0}, {"Y", "B", 0}}, "X Y", "X B", 0},  // the newest store whose name occurs
        {6, {{"Y", "B", 0}, {"X", "A", 0}}, "Y only", "B only", 0},
        {7, {{"x", "A", 0}}, "X", "<none>", 7},
        {8, {{"X", "XX", 0}}, "X", "XX", 0},
        {9, {{"", "A", 0}}, "abc", "<none>", 7},  // an empty name occurs nowhere
        {10, {{"X", "A", 1}}, "X", "A", 1},
        {11, {{"X", "A", 0}, {"X", "B", 1}}, "X", "B", 0},  // a list add joins the single store
    };
    for (const Row& row : rows) {
        FreeStores();
        Fill(row.adds);
        int32_t more;
        EXPECT_EQ(row.expected, Substitute(row.text, &more)) << "row " << row.line;
        EXPECT_EQ(row.more, more) << "row " << row.line;
    }
}

TEST_F(Stores, SingleStoreNeverRunsOut) {
    Fill({{"S", "A", 0}, {"S", "B", 0}});
    int count = 0;
    for (Store* s = g_stores; s; s = s->next) count += std::string(s->name) == "S";
    EXPECT_EQ(2, count) << "every single add makes a store of its own";
    int32_t more;
    for (int i = 0; i < 3; ++i) EXPECT_EQ("B", Substitute("S", &more)) << "call " << i;
}

TEST_F(Stores, ListStoreWalksNewestFirstAndRunsOut) {
    Fill({{"L", "A", 1}, {"L", "B", 1}, {"L", "C", 1}});
    int32_t more;
    for (int round = 0; round < 2; ++round) {
        ResetStoreCursor("L");
        EXPECT_EQ("C", Substitute("L", &more));
        EXPECT_EQ(1, more);
        EXPECT_EQ("B", Substitute("L", &more));
        EXPECT_EQ("A", Substitute("L", &more));
        EXPECT_EQ(1, more);
        EXPECT_EQ("<none>", Substitute("L", &more)) << "round " << round;
        EXPECT_EQ(7, more);
    }
    AddToStore("L", "D", 1);
    EXPECT_EQ("D", Substitute("L", &more)) << "an add points the cursor at the new value";
    EXPECT_EQ("C", Substitute("L", &more));
}

TEST_F(Stores, RunOutListHidesOlderStoresInTheSameText) {
    Fill({{"M", "m", 0}, {"L", "v", 1}});
    int32_t more;
    EXPECT_EQ("v\\M", Substitute("L\\M", &more));
    EXPECT_EQ("<none>", Substitute("L\\M", &more));
    EXPECT_EQ("m", Substitute("M", &more)) << "a text without the list's name still finds M";
    ResetStoreCursor("nothing");
    ResetStoreCursor("L");
    EXPECT_EQ("v\\M", Substitute("L\\M", &more));
}

TEST_F(Stores, SubstitutedFileName) {
    struct Row {
        int line;
        std::vector<Add> adds;
        const char* text;
        const char* expected;
    } rows[] = {
        {1, {}, "C:\\dir\\x.dll", "C:\\dir\\x.dll"},  // no store name: not cut
        {2, {{"%F", "C:\\WINDOWS\\evil.dll", 0}}, "%F", "evil.dll"},
        {3, {{"%F", "evil.dll", 0}}, "%F", "evil.dll"},
        {4, {{"%F", "evil.dll", 0}}, "sys\\%F", "evil.dll"},
        {5, {{"%F", "dir", 0}}, "%F\\", ""},
        {6, {{"%F", "a\\b", 0}}, "%F.exe", "b.exe"},
    };
    for (const Row& row : rows) {
        FreeStores();
        Fill(row.adds);
        char* name = SubstitutedFileName(row.text);
        ASSERT_NE(nullptr, name) << "row " << row.line;
        EXPECT_STREQ(row.expected, name) << "row " << row.line;
        free(name);
    }
}

TEST_F(Stores, FreeStoresEmptiesTheList) {
    Fill({{"A", "1", 1}, {"A", "2", 1}, {"B", "3", 0}});
    FreeStores();
    EXPECT_EQ(nullptr, g_stores);
    int32_t more;
    EXPECT_EQ("<none>", Substitute("A B", &more));
    AddToStore("A", "4", 1);
    EXPECT_EQ("4", Substitute("A", &more));
}

}  // namespace
