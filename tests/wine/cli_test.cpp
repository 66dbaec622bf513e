// End-to-end runs of the console front end inside the Wine prefix: the log
// it appends to, what it prints, and its exit code for each kind of failure.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>
#include <string>

#include "support/wine_support.h"

static const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
static const char kBanner[] = "\r\n\r\nMENDRIX Version 1.07\r\nSingle-threat disinfection and removal tool\r\n";

static const char kSimpleXml[] =
    "<CLEANER DataFile=\"Test.Marker\" Version=\"2.5\" Type=\"Worm\">"
    "<IDENTITY GenericName=\"Test\"></IDENTITY></CLEANER>";

static ProcessResult RunCli(const std::string& arguments, const std::string& input = "") {
    return RunProgram(std::string(kCli) + " " + arguments, input);
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        log = folder + "\\run.log";
    }
    std::string folder;
    std::string log;
};

TEST_F(CliTest, EachRunAppendsItsSectionToTheLog) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    for (int run = 0; run < 2; ++run) {
        ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
        EXPECT_EQ(0u, r.exitCode) << r.output;
    }
    std::string text = ReadWholeFile(log);
    ASSERT_EQ(0u, text.find(kBanner)) << text;
    EXPECT_EQ(2u, CountOf(text, kBanner));
    EXPECT_EQ(2u, CountOf(text, "\r\nSystem disinfection for Test.Marker \r\n\r\nData Version 2.5\r\n"));
    EXPECT_EQ(2u, CountOf(text, "\r\nSystem scan started at "));
    EXPECT_EQ(2u, CountOf(text, "\r\nSystem scan finished at "));

    // One section: banner, identity lines, the framed cleaning, the summary
    // line break of a script without group elements.
    std::string second = text.substr(text.rfind(kBanner));
    size_t started = second.find("\r\nSystem scan started at ");
    size_t finished = second.find("\r\nSystem scan finished at ");
    ASSERT_NE(std::string::npos, started);
    ASSERT_LT(started, finished);
    std::string tail = second.substr(finished);
    EXPECT_EQ(tail.size() - 2, tail.find("\r\n\r\n") + 2) << "the section must end with the summary's line break";
}

TEST_F(CliTest, StandardOutputCarriesWhatReachesTheLogExceptTheLogOnlyLines) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string::npos, r.output.find("MENDRIX Version")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Data Version")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nSystem scan started at ")) << r.output;
}

TEST_F(CliTest, MissingDataFileEndsWithResultThree) {
    std::string missing = folder + "\\absent.dat";
    ProcessResult r = RunCli("-df=" + missing + " -lf=" + log + " -noc");
    EXPECT_EQ(3u, r.exitCode);
    EXPECT_EQ("\r\nCould not open data file " + missing + "\r\n", r.output);
    std::string text = ReadWholeFile(log);
    EXPECT_EQ(std::string(kBanner) + "\r\nCould not open data file " + missing + "\r\n", text);
}

TEST_F(CliTest, BareDataFileNameIsLookedForBesideTheProgram) {
    ProcessResult r = RunCli("-df=nowhere.dat -lf=" + log + " -noc");
    EXPECT_EQ(3u, r.exitCode);
    EXPECT_EQ("\r\nCould not open data file C:\\mendrix\\nowhere.dat\r\n", r.output);
}

TEST_F(CliTest, DataBreakingOffAfterAnEscapeIsCorrupt) {
    std::string dat = folder + "\\broken.dat";
    ASSERT_TRUE(WriteWholeFile(dat, Scramble(std::string("<CLEANER DataFile=\"x\">") + '\x80')));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(10u, r.exitCode);
    std::string expected = "\r\nCorrupt data file " + dat + "\r\n";
    ASSERT_GE(r.output.size(), expected.size());
    EXPECT_EQ(expected, r.output.substr(r.output.size() - expected.size())) << r.output;
    EXPECT_EQ(std::string::npos, ReadWholeFile(log).find("\tFiles")) << "no summary after corrupt data";
}

TEST_F(CliTest, DataBreakingOffInsideADiskDoesNoDiskWork) {
    std::string victim = folder + "\\victim.txt";
    ASSERT_TRUE(WriteWholeFile(victim, "keep me"));
    std::string text = "<CLEANER DataFile=\"x\"><IDENTITY><DISK><DIRECTORY>" + folder +
                       "</DIRECTORY><FILE FileName=\"victim.txt\"><ACTION>delete</ACTION></FILE>";
    std::string dat = folder + "\\cut.dat";
    ASSERT_TRUE(WriteWholeFile(dat, Scramble(text + '\x80')));  // ASCII text is all literal tokens
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(10u, r.exitCode);
    EXPECT_TRUE(FileExists(victim));
    EXPECT_EQ(std::string::npos, r.output.find("Checking")) << r.output;
}

TEST_F(CliTest, MalformedXmlEndsWithResultNine) {
    std::string dat = folder + "\\malformed.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"x\"><IDENTITY></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(9u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("\r\nCorrupt data file " + dat + "\r\n")) << r.output;
}

TEST_F(CliTest, UnknownElementStopsTheWorkAndTheSummary) {
    std::string dat = folder + "\\unknown.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"x\"><IDENTITY><BOGUS/></IDENTITY></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(0u, r.exitCode) << "a data error found by the handlers leaves the result at 0";
    EXPECT_NE(std::string::npos, r.output.find("\r\nCorrupt data file " + dat + "\r\n"));
    std::string text = ReadWholeFile(log);
    EXPECT_EQ(std::string::npos, text.find("System scan finished")) << text;
    EXPECT_EQ(text.size() - 2, text.rfind(dat + "\r\n") + dat.size()) << "nothing after the error";
}

TEST_F(CliTest, LogInAMissingFolderIsReportedAndTheRunGoesOn) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    std::string badLog = folder + "\\no\\such\\folder\\run.log";
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + badLog + " -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(0u, r.output.find("\r\nUnable to open log file " + badLog + "\r\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("System scan finished"));
    EXPECT_FALSE(FileExists(folder + "\\no"));
}

TEST_F(CliTest, EmbeddedDataFileIsUsedWithoutDf) {
    ProcessResult r = RunCli("-lf=" + log + " -noc");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    std::string text = ReadWholeFile(log);
    EXPECT_NE(std::string::npos, text.find("\r\nSystem disinfection for Mendrix.Sample \r\n")) << text;
}

TEST_F(CliTest, CleanerWithoutDataFilePrintsTheUsageOnTheConsole) {
    std::string dat = folder + "\\nameless.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER><IDENTITY/></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("\r\nUsage: MENDRIX -DF=<file> <option>\r\n")) << r.output;
    std::string text = ReadWholeFile(log);
    EXPECT_NE(std::string::npos, text.find("\r\nNo data file was specified\r\n"));
    EXPECT_EQ(std::string::npos, text.find("Usage:")) << "the usage text is screen text, not log text";
}

TEST_F(CliTest, EmptyDataFileIsMalformed) {
    std::string dat = folder + "\\empty.dat";
    ASSERT_TRUE(WriteWholeFile(dat, ""));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -noc");
    EXPECT_EQ(9u, r.exitCode);
}

// Wine's local Administrators group does not list the prefix's user, so the
// rights question comes up whenever confirmation is on.
TEST_F(CliTest, DecliningTheRightsQuestionEndsWithResultOneBeforeTheScript) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log, "n\r\n");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("The system may not be completely disinfectable.")) << r.output;
    EXPECT_EQ(kBanner, ReadWholeFile(log));
}

TEST_F(CliTest, NoAnswerAtAllCountsAsNo) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    EXPECT_EQ(1u, RunCli("-df=" + dat + " -lf=" + log).exitCode);
}

TEST_F(CliTest, AcceptingTheRightsQuestionRunsTheScript) {
    std::string dat = folder + "\\app.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"Adware\" Type=\"application\"><IDENTITY/></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log, "maybe\r\ny\r\n");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("The application may not be completely removed\r\n")) << r.output;
    EXPECT_NE(std::string::npos, ReadWholeFile(log).find("\r\nApplication removal for Adware \r\n"));
}

TEST_F(CliTest, WithoutConfirmationTheMissingRightsAreOnlyReported) {
    std::string dat = folder + "\\simple.dat";
    ASSERT_TRUE(BuildDataFile(kSimpleXml, dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log + " -NOC");
    EXPECT_EQ(0u, r.exitCode);
    std::string warning =
        "\r\nThe current user does not have Administrator rights\r\nThe system may not be completely disinfected\r\n";
    EXPECT_EQ(0u, r.output.find(warning)) << r.output;
    EXPECT_EQ(std::string(kBanner) + warning, ReadWholeFile(log).substr(0, strlen(kBanner) + warning.size()));
}

// Wine reports Windows 98 to a program named under AppDefaults: the 9x
// family has no rights check, and os="WINNT" elements are left out.
class Windows98 : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        PretendWindows98("mendrix-cli.exe", true);
    }
    void TearDown() override {
        PretendWindows98("mendrix-cli.exe", false);
    }
};

TEST_F(Windows98, NoRightsQuestionAndNtOnlyElementsAreLeftOut) {
    std::string dat = folder + "\\nt.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"F\"><IDENTITY><LOG>on nine</LOG>"
                              "<EXECUTE os=\"WINNT\"><LOG>nt only</LOG></EXECUTE></IDENTITY></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log);
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Administrator")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("nt only"));
}

TEST_F(Windows98, CleanerForNtOnlyIsUnsupported) {
    std::string dat = folder + "\\ntonly.dat";
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"F\" os=\"WINNT\"><IDENTITY/></CLEANER>", dat));
    ProcessResult r = RunCli("-df=" + dat + " -lf=" + log);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("\r\nUnsupported operating system platform!\r\n", r.output);
    EXPECT_EQ(std::string(kBanner) + "\r\nUnsupported operating system platform!\r\n", ReadWholeFile(log));
}

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
