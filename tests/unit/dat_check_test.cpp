// The data-file tool's check: every error the program would meet, where it
// is and what is allowed there, without stopping at the first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/dispatch.h"
#include "tools/dat/check.h"

static std::vector<CheckFinding> Check(const std::string& xml) {
    return CheckScript(std::vector<uint8_t>(xml.begin(), xml.end()));
}

TEST(Check, ReportsEveryErrorWithItsPlace) {
    std::vector<CheckFinding> f = Check(
        "<CLEANER DataFile=\"x\" Colour=\"red\">\n"      // 1: unknown CLEANER attribute
        "  <IDENTITY>\n"                                   // 2
        "    <DISK>\n"                                     // 3
        "      <FOLDER/>\n"                                // 4: not allowed in DISK
        "    </DISK>\n"                                    // 5
        "    <MEMORY Infected=\"true\"><BOGUS/></MEMORY>\n"  // 6: checked though excluded when clean
        "  </IDENTITY>\n"
        "</CLEANER>\n");
    ASSERT_EQ(3u, f.size());
    EXPECT_EQ(1, f[0].line);
    EXPECT_NE(std::string::npos, f[0].message.find("'Colour'")) << f[0].message;
    EXPECT_NE(std::string::npos, f[0].message.find("DataFile, Version")) << f[0].message;
    EXPECT_EQ(4, f[1].line);
    EXPECT_EQ(7, f[1].column);
    EXPECT_EQ("element <FOLDER> is not allowed here; allowed: DIRECTORY, FILE", f[1].message);
    EXPECT_EQ(6, f[2].line);
    EXPECT_NE(std::string::npos, f[2].message.find("allowed: PROCESS, THREAD")) << f[2].message;
}

TEST(Check, CleanScriptHasNoFindingsAndLeavesTheProcessAsItWas) {
    int32_t seen = g_identitySeen;
    EXPECT_TRUE(Check("<CLEANER DataFile=\"x\"><HELP>h</HELP><IDENTITY GenericName=\"g\">"
                      "<LOG>hi</LOG></IDENTITY></CLEANER>")
                    .empty());
    EXPECT_EQ(seen, g_identitySeen);
}

TEST(Check, MalformedTextEndsTheListWithTheParsersComplaint) {
    std::vector<CheckFinding> f = Check("<CLEANER DataFile=\"x\">\n<IDENTITY>\n<WRONG/>\n</CLEANER>");
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(3, f[0].line);
    EXPECT_EQ(4, f[1].line);
    EXPECT_EQ(0u, f[1].message.find("not well-formed XML: ")) << f[1].message;
}

TEST(Check, SystemSettingsElements) {
    EXPECT_TRUE(Check("<CLEANER DataFile=\"x\"><IDENTITY GenericName=\"g\">"
                      "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\">"
                      "<VIRUSVALUE>e</VIRUSVALUE><DEFAULT>d</DEFAULT><ACTION>reset</ACTION></VALUE></KEY></REGISTRY>"
                      "<INIFILE FileName=\"c:\\w.ini\"><KEY section=\"s\" name=\"n\"><VIRUSVALUE>e</VIRUSVALUE>"
                      "<DEFAULT>d</DEFAULT></KEY></INIFILE><SERVICE>svc</SERVICE></IDENTITY></CLEANER>")
                    .empty());
    std::vector<CheckFinding> f = Check(
        "<CLEANER DataFile=\"x\"><IDENTITY><REGISTRY>\n"
        "<KEY handle=\"HKLM\" name=\"S\"/>\n"
        "<KEY handle=\"HKEY_USERS\"><VALUE type=\"x\"/></KEY>\n"
        "</REGISTRY></IDENTITY></CLEANER>");
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(2, f[0].line);
    EXPECT_EQ("an attribute value of <KEY> is not valid: handle=\"HKLM\" name=\"S\"", f[0].message);
    EXPECT_EQ(3, f[1].line);
    EXPECT_EQ("attribute 'type' is not accepted by <VALUE>; accepted: name, os", f[1].message);
}
