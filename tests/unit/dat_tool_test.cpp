// The mendrix-dat command as a user runs it: its output files, reports,
// messages and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script/container_codec.h"
#include "tools/dat/codec.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

class DatTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mendrix-dat-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    Outcome Run(const std::string& arguments) const {
        std::string command = std::string("'") + MENDRIX_DAT_EXE + "' " + arguments + " >'" + Path("stdout") +
                              "' 2>'" + Path("stderr") + "'";
        int raw = std::system(command.c_str());
        return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(Path("stdout")), ReadAll(Path("stderr"))};
    }

    // Builds `text` into name.dat and answers its path.
    std::string Built(const std::string& name, const std::string& text) {
        WriteAll(Path(name + ".xml"), text);
        EXPECT_EQ(0, Run("build " + Path(name + ".xml") + " " + Path(name + ".dat")).status);
        return Path(name + ".dat");
    }

    fs::path dir_;
};

const char kCleaner[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<CLEANER DataFile=\"W32.Test\" Version=\"2.1\" Type=\"Worm\" Variants=\"W32.Test.A,W32.Test.B\">\n"
    "  <IDENTITY/><HELP>caf\xE9 caf\xE9 caf\xE9</HELP>\n</CLEANER>\n";

TEST_F(DatTool, BuildWritesTheEncodingAndUnpackRestoresTheText) {
    std::string path = Built("a", kCleaner);
    std::vector<uint8_t> expected = EncodeData(std::vector<uint8_t>(kCleaner, kCleaner + sizeof kCleaner - 1));
    EXPECT_EQ(std::string(expected.begin(), expected.end()), ReadAll(path));

    EXPECT_EQ(0, Run("unpack " + path + " " + Path("back.xml")).status);
    EXPECT_EQ(kCleaner, ReadAll(Path("back.xml")));
    EXPECT_FALSE(fs::exists(Path("back.xml.tmp")));
}

TEST_F(DatTool, BuildReplacesAnExistingOutput) {
    WriteAll(Path("a.dat"), std::string(5000, 'o'));
    std::string path = Built("a", "<r/>");
    EXPECT_EQ(4u, fs::file_size(path));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST_F(DatTool, InfoReportsSizesWellFormednessAndIdentity) {
    struct Row {
        const char* what;
        std::string text;
        int status;
        std::vector<std::string> lines;
    } rows[] = {
        {"full identity", kCleaner, 0,
         {"decodes:       yes", "well-formed:   yes", "root element:  CLEANER", "DataFile:      W32.Test",
          "Version:       2.1", "Type:          Worm", "Variants:      W32.Test.A,W32.Test.B"}},
        {"missing attributes", "<CLEANER Version=\"3\"/>", 0,
         {"DataFile:      (absent)", "Version:       3", "Variants:      (absent)"}},
        {"nested CLEANER", "<DATA><CLEANER DataFile=\"In\"/><CLEANER DataFile=\"Second\"/></DATA>", 0,
         {"root element:  DATA", "DataFile:      In"}},
        {"no CLEANER", "<r>x</r>", 0, {"CLEANER:       (none)"}},
        {"not well-formed", "<CLEANER DataFile=\"X\"></r>", 1,
         {"well-formed:   no (line 1, column 25: mismatched tag)", "root element:  CLEANER", "DataFile:      X"}},
        {"empty", "", 1, {"stored size:   0 bytes", "decoded size:  0 bytes", "no element found"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string path = Built("in", row.text);
        Outcome o = Run("info " + path);
        EXPECT_EQ(row.status, o.status);
        for (const std::string& line : row.lines) EXPECT_TRUE(Has(o.out, line)) << line << "\n" << o.out;
        EXPECT_EQ(row.status != 0, Has(o.err, "does not hold well-formed XML")) << o.err;
    }
}

TEST_F(DatTool, CorruptFileIsNamedWithTheFaultAndLeavesOutputAlone) {
    // "<r>" then an escaped literal cut short.
    std::vector<uint8_t> tokens = {'<', 'r', '>', 0x80};
    uint8_t key = DATA_SEED;
    for (uint8_t& b : tokens) {
        b ^= key;
        key = static_cast<uint8_t>(key << 1 | key >> 7);
    }
    WriteAll(Path("bad.dat"), std::string(tokens.begin(), tokens.end()));
    WriteAll(Path("out.xml"), "keep");
    const std::string message =
        "mendrix-dat: '" + Path("bad.dat") + "' is corrupt at stored byte 3: data ends inside an escaped literal\n";

    Outcome info = Run("info " + Path("bad.dat"));
    EXPECT_EQ(1, info.status);
    EXPECT_EQ(message, info.err);
    EXPECT_TRUE(Has(info.out, "decodes:       no"));

    Outcome unpack = Run("unpack " + Path("bad.dat") + " " + Path("out.xml"));
    EXPECT_EQ(1, unpack.status);
    EXPECT_EQ(message, unpack.err);
    EXPECT_EQ("keep", ReadAll(Path("out.xml")));
}

TEST_F(DatTool, FileErrorsNameTheFileAndWriteNothing) {
    WriteAll(Path("in.xml"), "<r/>");
    struct Row {
        std::string arguments;
        std::string message;
        std::string absent;
    } rows[] = {
        {"build " + Path("none.xml") + " " + Path("o.dat"),
         "mendrix-dat: cannot open '" + Path("none.xml") + "': No such file or directory\n", Path("o.dat")},
        {"unpack " + Path("none.dat") + " " + Path("o.xml"),
         "mendrix-dat: cannot open '" + Path("none.dat") + "': No such file or directory\n", Path("o.xml")},
        {"info " + Path("none.dat"), "mendrix-dat: cannot open '" + Path("none.dat") + "': No such file or directory\n",
         ""},
        {"build " + Path("in.xml") + " " + Path("no/o.dat"),
         "mendrix-dat: cannot create '" + Path("no/o.dat.tmp") + "': No such file or directory\n", Path("no")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        Outcome o = Run(row.arguments);
        EXPECT_EQ(1, o.status);
        EXPECT_EQ(row.message, o.err);
        if (!row.absent.empty()) EXPECT_FALSE(fs::exists(row.absent));
    }
}

TEST_F(DatTool, UsageErrorsExitWith2) {
    struct Row {
        const char* arguments;
        const char* message;
    } rows[] = {
        {"", "mendrix-dat: no command given\n"},
        {"pack a b", "mendrix-dat: unknown command 'pack'\n"},
        {"build a.xml", "mendrix-dat: wrong number of arguments for 'build'\n"},
        {"info a b", "mendrix-dat: wrong number of arguments for 'info'\n"},
        {"grammar --html", "mendrix-dat: wrong number of arguments for 'grammar'\n"},
        {"new", "mendrix-dat: wrong number of arguments for 'new'\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        Outcome o = Run(row.arguments);
        EXPECT_EQ(2, o.status);
        EXPECT_EQ(0u, o.err.find(row.message)) << o.err;
        EXPECT_TRUE(Has(o.err, "usage: mendrix-dat build IN.xml OUT.dat"));
    }
    Outcome help = Run("--help");
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(Has(help.out, "usage:"));
    for (const char* command : {"build IN", "unpack IN", "info IN", "check IN", "grammar [", "new NAME"})
        EXPECT_TRUE(Has(help.out, std::string("mendrix-dat ") + command)) << command;
}

TEST_F(DatTool, NewWritesAStartingFileThatChecksCleanAndNeverReplacesOne) {
    Outcome made = Run("new W32.Example " + Path("w.xml"));
    EXPECT_EQ(0, made.status) << made.err;
    EXPECT_TRUE(Has(ReadAll(Path("w.xml")), "<CLEANER DataFile=\"W32.Example\""));
    Outcome checked = Run("check " + Path("w.xml"));
    EXPECT_EQ(0, checked.status) << checked.out;

    WriteAll(Path("mine.xml"), "my work");
    Outcome refused = Run("new Other " + Path("mine.xml"));
    EXPECT_EQ(1, refused.status);
    EXPECT_TRUE(Has(refused.err, "exists")) << refused.err;
    EXPECT_EQ("my work", ReadAll(Path("mine.xml")));
}

// Warnings are listed with errors, in the order of their places, and fail
// the check only with --strict.
TEST_F(DatTool, CheckListsWarningsAndFailsOnThemOnlyWhenStrict) {
    WriteAll(Path("w.xml"),
             "<CLEANER DataFile=\"x\"><IDENTITY>\n<DISK><FILE FileName=\"system\\a.exe\"/></DISK>\n"
             "<DISK><FILE Extensions=\"exe\"/></DISK>\n</IDENTITY></CLEANER>\n");
    Outcome lenient = Run("check " + Path("w.xml"));
    EXPECT_EQ(0, lenient.status) << lenient.out << lenient.err;
    EXPECT_EQ(0u, lenient.out.find(Path("w.xml") + ":2:13: warning: FileName \"system\\a.exe\" holds a folder"))
        << lenient.out;
    EXPECT_TRUE(Has(lenient.out, ". Instead: FileName=\"a.exe\", and the folder in a DIRECTORY: "
                                 "<DIRECTORY>system</DIRECTORY> [folder-in-FileName]\n" +
                                     Path("w.xml") + ":3:13: warning: Extensions item \"exe\""))
        << lenient.out;
    EXPECT_TRUE(Has(lenient.out, Path("w.xml") + ": no errors, 2 warnings\n")) << lenient.out;
    EXPECT_EQ("", lenient.err);
    for (const std::string& arguments : {"check --strict " + Path("w.xml"), "check " + Path("w.xml") + " --strict"}) {
        Outcome strict = Run(arguments);
        EXPECT_EQ(1, strict.status) << arguments;
        EXPECT_EQ(lenient.out, strict.out);
        EXPECT_EQ("mendrix-dat: '" + Path("w.xml") + "' has 2 warnings, and --strict fails them\n", strict.err);
    }
    WriteAll(Path("clean.xml"), "<CLEANER DataFile=\"x\"><IDENTITY/></CLEANER>");
    Outcome clean = Run("check --strict " + Path("clean.xml"));
    EXPECT_EQ(0, clean.status);
    EXPECT_EQ(Path("clean.xml") + ": no errors\n", clean.out);
}

TEST_F(DatTool, GrammarPrintsTheReferenceInBothForms) {
    Outcome text = Run("grammar");
    Outcome markdown = Run("grammar --markdown");
    EXPECT_EQ(0, text.status);
    EXPECT_EQ(0, markdown.status);
    EXPECT_TRUE(Has(text.out, "VIRUSVALUE\n----------\n")) << text.out;
    EXPECT_TRUE(Has(markdown.out, "\n## VIRUSVALUE\n"));
    EXPECT_TRUE(Has(markdown.out, "| `storeList` |"));
}

}  // namespace
