// The data-file tool's check: every error the program would meet, where it
// is and what is allowed there, without stopping at the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "script/dispatch.h"
#include "tools/dat/check.h"
#include "tools/dat/warnings.h"

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

// Warnings: each row a small data file whose lines stand inside IDENTITY
// (the file's line 3 is the row's first line), with the one warning it
// must give and the text it points at (its first occurrence); rows without
// a warning are near misses that give none.
namespace {

struct WarningRow {
    const char* rule;  // null: no warning
    const char* at;    // where in the body the warning stands
    const char* body;
};

const WarningRow kWarningRows[] = {
    {"folder-in-FileName", "FileName=", "<DISK><FILE FileName=\"system\\tm1.exe\"><ACTION>delete</ACTION></FILE></DISK>"},
    {nullptr, nullptr, "<DISK><DIRECTORY>system</DIRECTORY><FILE FileName=\"tm1.exe\"><ACTION>delete</ACTION></FILE></DISK>"},
    {"process-name-path", "ProcessName=",
     "<MEMORY><PROCESS ProcessName=\"system\\a.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"},
    {"process-name-path", "path=",
     "<MEMORY><THREAD ProcessName=\"a.exe\" path=\"system\\b.exe\"><PATTERN>C3</PATTERN><ACTION>kill</ACTION></THREAD></MEMORY>"},
    {"process-name-path", "path=", "<MEMORY><PROCESS path=\"a.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"},
    {nullptr, nullptr, "<MEMORY><PROCESS ProcessName=\"A.EXE\" path=\"system\\a.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"},
    {"extension-item", "Extensions=", "<DISK><FILE\n      Extensions=\"exe\"><ACTION>delete</ACTION></FILE></DISK>"},
    {"extension-item", "Extensions=", "<DISK><FILE Extensions=\".exe ,.scr\"><ACTION>delete</ACTION></FILE></DISK>"},
    {"extension-item", "Extensions=", "<DISK><FILE FileName=\"a.exe\" Extensions=\".exe\"/></DISK>"},
    {nullptr, nullptr, "<DISK><FILE Extensions=\".exe, .scr,.js\"><ACTION>delete</ACTION></FILE></DISK>"},
    {"file-accepts-all", "<FILE>", "<DISK><FILE><ACTION>Delete</ACTION></FILE></DISK>"},
    {"file-accepts-all", "<FILE", "<DISK><FILE Extensions=\"ALL\"><ACTION destination=\"temp\">move</ACTION></FILE></DISK>"},
    {nullptr, nullptr, "<DISK><FILE><ACTION store=\"Every\">store</ACTION></FILE><FILE size=\"400\"><ACTION>delete</ACTION></FILE></DISK>"},
    {"beyond-size", "<PATTERN", "<DISK><FILE size=\"10\">\n<PATTERN offset=\"F\">4D 5A</PATTERN><ACTION>delete</ACTION></FILE></DISK>"},
    {"beyond-size", "<PATTERN", "<DISK><FILE size=\"10\"><PATTERN origin=\"end\">4D</PATTERN><ACTION>delete</ACTION></FILE></DISK>"},
    {"beyond-size", "start=", "<DISK><FILE FileName=\"a\"><ACTION start=\"end-4\">cut</ACTION></FILE></DISK>"},
    {"beyond-size", "length=", "<DISK><FILE FileName=\"a\" size=\"10\"><ACTION start=\"4\" length=\"20\">cut</ACTION></FILE></DISK>"},
    {nullptr, nullptr, "<DISK><FILE size=\"10\"><PATTERN offset=\"E\">4D 5A</PATTERN><PATTERN origin=\"end\" offset=\"-2\">4D 5A</PATTERN>"
                    "<ACTION start=\"pattern0\" end=\"end-1\">cut</ACTION></FILE></DISK>"},
    {"store-before-filled", "Found</DIRECTORY>",
     "<DISK><DIRECTORY>Found</DIRECTORY><FILE FileName=\"a\"><ACTION store=\"Found\">delete</ACTION></FILE></DISK>"},
    {"store-before-filled", "system\\Library",
     "<UNREGDLL>system\\Library.dll</UNREGDLL><REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\">"
     "<VIRUSVALUE>%s.dll</VIRUSVALUE><ACTION store=\"Library\">delete</ACTION></VALUE></KEY></REGISTRY>"},
    {nullptr, nullptr,
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><VIRUSVALUE>%s.dll</VIRUSVALUE>"
     "<ACTION store=\"Library\">delete</ACTION></VALUE></KEY><KEY handle=\"HKEY_CURRENT_USER\" name=\"Library\">"
     "<ACTION>delete</ACTION></KEY></REGISTRY><UNREGDLL>Library</UNREGDLL>"},
    {"value-never-matches", "0x1<",
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><VIRUSVALUE>0x1</VIRUSVALUE>"
     "<ACTION>delete</ACTION></VALUE></KEY></REGISTRY>"},
    {"value-never-matches", "%s\\%s",
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><VIRUSVALUE>%s\\%s.exe</VIRUSVALUE>"
     "<ACTION store=\"x\">delete</ACTION></VALUE></KEY></REGISTRY>"},
    {nullptr, nullptr,
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><VIRUSVALUE>1A</VIRUSVALUE>"
     "<DEFAULT>0</DEFAULT><ACTION>reset</ACTION></VALUE></KEY></REGISTRY>"},
    {"keyword-does-nothing", "<ACTION>eject", "<MEMORY><PROCESS ProcessName=\"a.exe\"><ACTION>eject</ACTION></PROCESS></MEMORY>"},
    {"keyword-does-nothing", "Kill", "<MEMORY><PROCESS ProcessName=\"a.exe\"><ACTION>Kill</ACTION></PROCESS></MEMORY>"},
    {"keyword-does-nothing", "\n  delete", "<DISK><FILE FileName=\"a\"><ACTION>\n  delete</ACTION></FILE></DISK>"},
    {"keyword-does-nothing", "<ACTION>reset",
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"/><ACTION>reset</ACTION></KEY></REGISTRY>"},
    {"keyword-does-nothing", "<ACTION>delete",
     "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><ACTION>delete</ACTION><VALUE name=\"v\"/></KEY></REGISTRY>"},
    {"keyword-does-nothing", "<THREAD", "<MEMORY><THREAD ProcessName=\"a.exe\"><ACTION>kill</ACTION></THREAD></MEMORY>"},
    {"keyword-does-nothing", "<ACTION>delete",
     "<DISK><FILE FileName=\"a\"><ACTION>delete</ACTION><ACTION store=\"x\">store</ACTION></FILE></DISK>"},
    {"keyword-does-nothing", "<ACTION>copy", "<DISK><FILE FileName=\"a\"><ACTION>copy</ACTION></FILE></DISK>"},
    {nullptr, nullptr,
     "<MEMORY><PROCESS ProcessName=\"a.exe\"><ACTION dll=\"b.dll\">eject</ACTION></PROCESS>"
     "<PROCESS ProcessName=\"b.exe\"><ACTION>suspendnow</ACTION></PROCESS>"
     "<THREAD ProcessName=\"c.exe\"><PATTERN>C3</PATTERN><ACTION>end</ACTION></THREAD></MEMORY>"
     "<DISK><FILE FileName=\"a\"><ACTION>DELETE</ACTION></FILE><FILE FileName=\"b\"><ACTION destination=\"temp\\b\">copy</ACTION></FILE></DISK>"},
    {"os-family", "<THREAD", "<MEMORY os=\"WIN9X\"><THREAD ProcessName=\"a.exe\"><PATTERN>C3</PATTERN><ACTION>kill</ACTION></THREAD></MEMORY>"},
    {"os-family", "os=", "<SERVICE os=\"WIN95\">svc</SERVICE>"},
    {"os-family", "os=\"WIN9X", "<MEMORY os=\"WINNT\"><PROCESS os=\"WIN9X\" ProcessName=\"a.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"},
    {nullptr, nullptr,
     "<MEMORY os=\"WIN9X\"><PROCESS ProcessName=\"a.exe\"><ACTION>kill</ACTION></PROCESS></MEMORY>"
     "<MEMORY os=\"WINNT\"><THREAD ProcessName=\"a.exe\"><PATTERN>C3</PATTERN><ACTION>kill</ACTION></THREAD></MEMORY>"
     "<SERVICE os=\"WINNT\">svc</SERVICE>"},
    {"white-space-around", "\n  windows", "<DISK><DIRECTORY>\n  windows\n</DIRECTORY></DISK>"},
    {"white-space-around", "svc ", "<SERVICE>svc </SERVICE>"},
    {"white-space-around", " b</DEFAULT>",
     "<INIFILE FileName=\"windows\\w.ini\"><KEY section=\"s\" name=\"n\"><VIRUSVALUE>a.exe</VIRUSVALUE><DEFAULT> </DEFAULT>"
     "<DEFAULT> b</DEFAULT></KEY></INIFILE>"},
    {"ignored-attribute", "subfolder=", "<DISK><DIRECTORY subfolder=\"no\">windows</DIRECTORY></DISK>"},
    {"ignored-attribute", "Store=", "<DISK><FILE FileName=\"a\"><ACTION Store=\"x\">delete</ACTION></FILE></DISK>"},
    {nullptr, nullptr, "<DISK DefaultMessages=\"off\"><DIRECTORY os=\"WINNT\">windows</DIRECTORY><FILE FileName=\"a\"><ACTION Infected=\"true\">delete</ACTION></FILE></DISK>"},
};

std::vector<CheckFinding> Warn(const std::string& body) {
    std::string xml = "<CLEANER DataFile=\"x\">\n<IDENTITY GenericName=\"g\">\n" + body + "\n</IDENTITY>\n</CLEANER>\n";
    return WarnScript(std::vector<uint8_t>(xml.begin(), xml.end()));
}

std::string Listed(const std::vector<CheckFinding>& findings) {
    std::string all;
    for (const CheckFinding& f : findings)
        all += std::to_string(f.line) + ":" + std::to_string(f.column) + " [" + f.rule + "] " + f.message + "\n";
    return all;
}

TEST(Check, EachWarningAtItsPlaceAndNearMissesClean) {
    std::set<std::string> shown;
    for (size_t i = 0; i < sizeof kWarningRows / sizeof kWarningRows[0]; ++i) {
        const WarningRow& row = kWarningRows[i];
        SCOPED_TRACE("row " + std::to_string(i) + ": " + row.body);
        std::vector<CheckFinding> f = Warn(row.body);
        if (!row.rule) {
            EXPECT_EQ("", Listed(f));
            continue;
        }
        ASSERT_EQ(1u, f.size()) << Listed(f);
        EXPECT_EQ(row.rule, f[0].rule);
        std::string body = row.body;
        size_t at = body.find(row.at);
        ASSERT_NE(std::string::npos, at) << row.at;
        size_t lineStart = at == 0 ? std::string::npos : body.rfind('\n', at - 1);
        long line = 3 + static_cast<long>(std::count(body.begin(), body.begin() + static_cast<long>(at), '\n'));
        long column = static_cast<long>(lineStart == std::string::npos ? at + 1 : at - lineStart);
        EXPECT_EQ(line, f[0].line) << Listed(f);
        EXPECT_EQ(column, f[0].column) << Listed(f);
        EXPECT_TRUE(f[0].warning);
        EXPECT_FALSE(f[0].message.empty());
        EXPECT_FALSE(f[0].instead.empty());
        shown.insert(row.rule);
        // The program accepts every one of them: warnings are not errors.
        std::string xml = "<CLEANER DataFile=\"x\"><IDENTITY GenericName=\"g\">" + std::string(row.body) + "</IDENTITY></CLEANER>";
        for (const CheckFinding& e : Check(xml)) ADD_FAILURE() << e.message;
    }
    for (const WarningRule* rule = kWarningRules; rule->name; ++rule) EXPECT_EQ(1u, shown.count(rule->name)) << rule->name;
}

TEST(Check, WarningsTellWhatToWriteInstead) {
    std::vector<CheckFinding> f = Warn("<DISK><FILE FileName=\"system\\tm1.exe\"/></DISK>");
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ("FileName=\"tm1.exe\", and the folder in a DIRECTORY: <DIRECTORY>system</DIRECTORY>", f[0].instead);
    f = Warn("<DISK><FILE size=\"10\"><PATTERN offset=\"F\">4D 5A</PATTERN></FILE></DISK>");
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ("a PATTERN of 2 bytes at offset F lies outside the FILE's size 10 (16 bytes), so it never matches",
              f[0].message);
    EXPECT_EQ("an offset from 0 to E, or origin=\"end\" with a negative offset (offset=\"-2\")", f[0].instead);
    EXPECT_TRUE(Warn("<DISK><FILE").empty());  // not well-formed: the errors say why
}

}  // namespace
