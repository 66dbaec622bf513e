// The console program's command line as administrators type it: paths with
// spaces in quotes, help, version, and tokens it does not know.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/console_options.h"
#include "support/timed_run.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const unsigned long kLimit = 30000;
const char kXml[] =
    "<CLEANER DataFile=\"Test.Marker\" Version=\"2.5\"><IDENTITY GenericName=\"Test\"></IDENTITY></CLEANER>";
const char kIdentityLine[] = "\r\nSystem disinfection for Test.Marker \r\n";

TimedRun RunCli(const std::string& arguments) {
    TimedRun r = RunProgramWithin(std::string(kCli) + " " + arguments, kLimit);
    EXPECT_TRUE(r.finished) << arguments;
    return r;
}

class CommandLine : public testing::Test {
protected:
    void SetUp() override {
        // A folder name with spaces, as "C:\Documents and Settings" has.
        folder = MakeScratchFolder(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                                   " data and log");
        dat = folder + "\\threat data.dat";
        log = folder + "\\run log.txt";
        // ASCII text is all literal tokens: scrambling it is the whole encoding.
        ASSERT_TRUE(WriteWholeFile(dat, Scramble(kXml)));
    }
    std::string folder, dat, log;
};

TEST_F(CommandLine, QuotedPathsWithSpacesAreUsed) {
    const std::string lines[] = {
        "\"-df=" + dat + "\" \"-lf=" + log + "\" -noc",
        "-df=\"" + dat + "\"\t-lf=\"" + log + "\" \"-noc\"",
    };
    for (const std::string& line : lines) {
        RemoveFile(log);
        TimedRun r = RunCli(line);
        EXPECT_EQ(0u, r.exitCode) << line << "\n" << r.output;
        EXPECT_EQ("", r.errors) << line;
        std::string text = ReadWholeFile(log);
        EXPECT_NE(std::string::npos, text.find(kIdentityLine)) << line << "\n" << text;
        EXPECT_EQ(std::string::npos, text.find("Mendrix.Sample")) << "the embedded data ran instead: " << line;
    }
}

TEST_F(CommandLine, MissingQuotedFileIsNamedWhole) {
    std::string missing = folder + "\\no such file.dat";
    TimedRun r = RunCli("-df=\"" + missing + "\" \"-lf=" + log + "\" -noc");
    EXPECT_EQ(3u, r.exitCode);
    EXPECT_EQ("\r\nCould not open data file " + missing + "\r\n", r.output);
}

TEST_F(CommandLine, HelpPrintsTheUsageAndScansNothing) {
    for (const char* word : {"-?", "-h", "--help", "/?", "-H"}) {
        TimedRun r = RunCli(std::string("\"-lf=") + log + "\" -noc " + word);
        EXPECT_EQ(0u, r.exitCode) << word;
        EXPECT_EQ(kConsoleUsage, r.output) << word;
        EXPECT_EQ("", r.errors) << word;
        EXPECT_FALSE(FileExists(log)) << word << ": a scan ran";
    }
}

TEST_F(CommandLine, VersionPrintsTheVersionLineAndScansNothing) {
    for (const char* word : {"-ver", "--version", "-VER"}) {
        TimedRun r = RunCli(std::string("\"-lf=") + log + "\" " + word);
        EXPECT_EQ(0u, r.exitCode) << word;
        EXPECT_EQ("MENDRIX Version 1.07\r\n", r.output) << word;
        EXPECT_FALSE(FileExists(log)) << word << ": a scan ran";
    }
}

TEST_F(CommandLine, UnknownTokensAreNamedAndTheScanRuns) {
    TimedRun r = RunCli("-verbose \"-df=" + dat + "\" \"/x y\" -lf=\"" + log + "\" -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("Unknown option ignored: \"-verbose\"\r\nUnknown option ignored: \"/x y\"\r\n", r.errors);
    EXPECT_EQ(std::string::npos, r.output.find("Unknown option")) << r.output;
    EXPECT_NE(std::string::npos, ReadWholeFile(log).find(kIdentityLine));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
