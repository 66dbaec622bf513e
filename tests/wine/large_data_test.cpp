// Data files with very long texts, an entity bomb and very deep nesting:
// each run ends with its usual result, and ends promptly. The limit is
// generous for a run that collects text in linear time and far too short
// for one that copies the whole text again for every piece.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "support/timed_run.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kDat[] = "C:\\mendrix\\mendrix-dat.exe";
const unsigned long kLimit = 20000;
const size_t kSixteenMegabytes = 16u << 20;

// Short lines, so the parser hands the text over in many small pieces.
std::string LongText(size_t size) {
    std::string text;
    text.reserve(size);
    for (size_t line = 0; text.size() < size; ++line) {
        std::string next = "line " + std::to_string(line) + " of the long text\r\n";
        text += next.substr(0, size - text.size());
    }
    return text;
}

// Ten entities, each ten of the one before.
std::string BillionLaughs() {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE CLEANER [\n <!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= 9; ++i) {
        xml += " <!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) xml += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        xml += "\">\n";
    }
    return xml + "]>\n<CLEANER DataFile=\"x\"><PRINT>&lol9;</PRINT><IDENTITY/></CLEANER>\n";
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class LargeData : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        log = folder + "\\run.log";
        dat = folder + "\\large.dat";
    }
    // The prefix is kept after the run: leave no 16 MB files in it.
    void TearDown() override {
        RemoveFile(dat);
        RemoveFile(log);
    }
    // XML of ASCII characters is all literal tokens: scrambling it is the
    // whole encoding, and a 16 MB file needs no compressor.
    TimedRun Run(const std::string& xml) {
        EXPECT_TRUE(WriteWholeFile(dat, Scramble(xml)));
        TimedRun r = RunProgramWithin(std::string(kCli) + " -df=" + dat + " -lf=" + log + " -noc", kLimit);
        EXPECT_TRUE(r.finished) << "still running after " << r.seconds << " s";
        return r;
    }
    std::string folder, log, dat;
};

TEST_F(LargeData, EntityBombIsCorruptData) {
    TimedRun r = Run(BillionLaughs());
    EXPECT_EQ(9u, r.exitCode);
    EXPECT_TRUE(EndsWith(r.output, "\r\nSystem disinfection for x \r\n\r\nCorrupt data file " + dat + "\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, ReadWholeFile(log).find("lollol"));
}

TEST_F(LargeData, DataToolCheckNamesTheParsersLimit) {
    std::string xml = folder + "\\bomb.xml";
    ASSERT_TRUE(WriteWholeFile(xml, BillionLaughs()));
    TimedRun r = RunProgramWithin(std::string(kDat) + " check " + xml, kLimit);
    ASSERT_TRUE(r.finished) << "still running after " << r.seconds << " s";
    EXPECT_NE(0u, r.exitCode);
    EXPECT_NE(std::string::npos,
              (r.output + r.errors).find("limit on input amplification factor (from DTD and entities) breached"))
        << r.output << r.errors;
}

TEST_F(LargeData, SixteenMegabytePrintIsShownWhole) {
    const std::string text = LongText(kSixteenMegabytes);
    TimedRun r = Run("<CLEANER DataFile=\"x\"><IDENTITY><PRINT>" + text + "</PRINT></IDENTITY></CLEANER>");
    EXPECT_EQ(0u, r.exitCode);
    // The console shows a PRINT text between line breaks; the parser has
    // turned each CR LF of the document into a line feed.
    std::string shown;
    shown.reserve(text.size());
    for (char c : text)
        if (c != '\r') shown += c;
    size_t at = r.output.find("\r\n" + shown.substr(0, 64));
    ASSERT_NE(std::string::npos, at);
    EXPECT_TRUE(r.output.compare(at, shown.size() + 4, "\r\n" + shown + "\r\n") == 0);
    EXPECT_NE(std::string::npos, r.output.find("System scan finished"));
}

// The long text is taken as a path and found nowhere; the DIRECTORY after it
// is searched as usual.
TEST_F(LargeData, SixteenMegabyteDirectoryIsSearchedNowhereAndTheNextOneIs) {
    std::string victim = folder + "\\victim.txt";
    ASSERT_TRUE(WriteWholeFile(victim, "remove me"));
    TimedRun r = Run("<CLEANER DataFile=\"x\"><IDENTITY GenericName=\"Test\"><DISK><DIRECTORY>" +
                     LongText(kSixteenMegabytes) + "</DIRECTORY><DIRECTORY>" + folder +
                     "</DIRECTORY><FILE FileName=\"victim.txt\"><ACTION>delete</ACTION></FILE></DISK>"
                     "</IDENTITY></CLEANER>");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_FALSE(FileExists(victim));
    EXPECT_NE(std::string::npos, r.output.find("\r\nScanning " + folder + "\r\n")) << r.output.substr(0, 2000);
    EXPECT_EQ(std::string::npos, r.output.find("line 0 of the long text"));
}

// Far beyond the 255 levels the element stack holds: the first level too
// deep is a data error, the rest of the document is read without work.
TEST_F(LargeData, TwentyThousandLevelsDeepIsADataError) {
    const int depth = 20000;
    std::string xml = "<CLEANER DataFile=\"x\"><HELP>";
    xml.reserve(depth * 8 + 100);
    for (int i = 0; i < depth; ++i) xml += "<a>t";
    for (int i = 0; i < depth; ++i) xml += "</a>";
    TimedRun r = Run(xml + "</HELP><IDENTITY/></CLEANER>");
    EXPECT_EQ(0u, r.exitCode) << "a data error found by the handlers leaves the result at 0";
    EXPECT_TRUE(EndsWith(r.output, "\r\nThe system may not be completely disinfected\r\n\r\nCorrupt data file " +
                                       dat + "\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, ReadWholeFile(log).find("System scan started"));
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
