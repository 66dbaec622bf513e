// The authors' guide: each example under docs/examples/ stands in the guide
// as it is in its file, with the log of its run after it, and passes check
// without an error or a warning.
// (The Wine test guide_examples_test runs them and compares the logs.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/dat/check.h"
#include "tools/dat/warnings.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const fs::path kDocs = fs::path(MENDRIX_SOURCE_DIR) / "docs";

TEST(Guide, EveryExampleStandsInTheGuideWithItsLogAndPassesCheck) {
    std::string guide = ReadAll(kDocs / "writing-data-files.md");
    ASSERT_FALSE(guide.empty());
    int examples = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kDocs / "examples")) {
        if (entry.path().extension() != ".xml") continue;
        ++examples;
        std::string name = entry.path().filename().string();
        std::string text = ReadAll(entry.path());
        EXPECT_NE(std::string::npos, guide.find("<!-- example: " + name + " -->\n```xml\n" + text + "```\n"))
            << name << " differs from its copy in docs/writing-data-files.md";
        EXPECT_NE(std::string::npos, guide.find("<!-- log: " + name + " -->\n```text\n")) << name;
        for (const CheckFinding& f : CheckScript(std::vector<uint8_t>(text.begin(), text.end())))
            ADD_FAILURE() << name << ":" << f.line << ":" << f.column << ": " << f.message;
        for (const CheckFinding& f : WarnScript(std::vector<uint8_t>(text.begin(), text.end())))
            ADD_FAILURE() << name << ":" << f.line << ":" << f.column << ": warning: " << f.message;
    }
    EXPECT_GE(examples, 8);
    // No example is shown that has no file.
    size_t shown = 0;
    for (size_t at = guide.find("<!-- example: "); at != std::string::npos; at = guide.find("<!-- example: ", at + 1))
        ++shown;
    EXPECT_EQ(static_cast<size_t>(examples), shown);
}

}  // namespace
