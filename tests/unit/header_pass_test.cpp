// The header pass over an encoded data file: it learns the threat and stops
// at the first IDENTITY, and each failure answers its code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/header_pass.h"
#include "app/run_options.h"
#include "report/message.h"
#include "script/data_reader.h"
#include "script/dispatch.h"
#include "script/identity.h"
#include "tools/dat/codec.h"

namespace {

std::vector<std::string> g_lines;
int Add(void*, const char* line) {
    g_lines.push_back(line);
    return static_cast<int>(g_lines.size()) - 1;
}
void Select(void*, int) {}
const MessageSinks kSinks = {nullptr, Add, Select, nullptr, nullptr};
int g_window;

class HeaderPass : public testing::Test {
protected:
    void SetUp() override {
        saved_ = g_report;
        g_report = ReportState{nullptr, nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
        g_lines.clear();
        g_identitySeen = 0;
        g_runOptions.dataFile = nullptr;
        g_settings.dataFile = nullptr;
    }
    void TearDown() override {
        g_report = saved_;
        g_resourceData = nullptr;
        g_resourceSize = 0;
        FreeVariants();
    }
    int Load(const std::string& xml) {
        stored_ = EncodeData(std::vector<uint8_t>(xml.begin(), xml.end()));
        static const unsigned char kNothing = 0;
        g_resourceData = stored_.empty() ? &kNothing : stored_.data();
        g_resourceSize = static_cast<uint32_t>(stored_.size());
        return LoadDataHeader(&g_window);
    }
    std::vector<uint8_t> stored_;
    ReportState saved_;
};

}  // namespace

TEST_F(HeaderPass, LearnsTheThreatAndShowsTheBannerAndIdentity) {
    ASSERT_EQ(0, Load("<CLEANER DataFile=\"Foo\" Version=\"9\" Type=\"Trojan\" Variants=\"A,B\"><IDENTITY/></CLEANER>"));
    EXPECT_EQ(THREAT_TROJAN, g_threatType);
    EXPECT_EQ(1, g_identitySeen);
    std::vector<std::string> expected = {"MENDRIX Version 1.07",
                                         "Single-threat disinfection and removal tool",
                                         "",
                                         "System disinfection for Foo ",
                                         "",
                                         "Data Version 9",
                                         "",
                                         "View Help About for a list of supported variants"};
    EXPECT_EQ(expected, g_lines);
    EXPECT_STREQ("A", g_variants[0]);
}

TEST_F(HeaderPass, StopsBeforeTheRestOfALongScript) {
    // The text after IDENTITY spans several pieces and ends malformed; the
    // pass stops at the first piece boundary after IDENTITY and never sees it.
    std::string xml = "<CLEANER DataFile=\"Foo\"><IDENTITY>" + std::string(4000, ' ') + "<LOG>x</LOG><broken";
    EXPECT_EQ(0, Load(xml));
}

TEST_F(HeaderPass, FailuresAnswerTheirCodes) {
    EXPECT_EQ(9, Load("<CLEANER DataFile=\"Foo\"><IDENTITY></CLEANER>"));
    g_identitySeen = 0;
    EXPECT_EQ(9, Load(""));
    g_identitySeen = 0;
    g_resourceData = nullptr;
    g_lines.clear();
    EXPECT_EQ(3, LoadDataHeader(&g_window));
    EXPECT_EQ("Could not load data", g_lines.back());

    char missing[] = "/nonexistent/mendrix.dat";
    g_runOptions.dataFile = missing;
    g_lines.clear();
    EXPECT_EQ(3, LoadDataHeader(&g_window));
    EXPECT_EQ("Could not open data file /nonexistent/mendrix.dat", g_lines.back());
    g_runOptions.dataFile = nullptr;
}
