// The window's texts from the header fields: title, About lines, counter
// labels by threat type, and header fields of the greatest length.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "ui/window_texts.h"

namespace {

struct TitleRow {
    int row;
    bool headerRead;
    const char* name;
    const char* version;
    int32_t type;
    const char* title;
    const char* versionLine;
    const char* description;
    const char* filesDeleted;  // null: the template's label stays
    const char* processesTerminated;
};

const TitleRow kTitleRows[] = {
    {1, true, "X", "2.5", 4, "Mendrix for X", "Data Version: 2.5", "Application removal for X", "Files deleted:",
     "Processes terminated:"},
    {2, true, "W32.Foo", "7", 1, "Mendrix for W32.Foo", "Data Version: 7", "System disinfection for W32.Foo", nullptr,
     nullptr},
    {3, true, "Bar", "", 2, "Mendrix for Bar", "Data Version: ", "System disinfection for Bar", "Files deleted:",
     "Processes terminated:"},
    {4, true, "Baz", "1", 3, "Mendrix for Baz", "Data Version: 1", "System disinfection for Baz", "Files deleted:",
     "Processes terminated:"},
    // A failed header pass leaves whatever it had read unused.
    {5, false, "Half", "3", 4, "Mendrix", "", "", nullptr, nullptr},
    {6, false, "", "", 0, "Mendrix", "", "", nullptr, nullptr},
};

TEST(WindowTexts, TitleLinesAndLabelsFollowTheHeader) {
    for (const TitleRow& r : kTitleRows) {
        SCOPED_TRACE(r.row);
        WindowTexts texts;
        memset(&texts, 'x', sizeof texts);
        BuildWindowTexts(&texts, r.headerRead, r.name, r.version, r.type);
        EXPECT_STREQ(r.title, texts.title);
        EXPECT_STREQ(r.versionLine, texts.versionLine);
        EXPECT_STREQ(r.description, texts.description);
        CounterLabels labels = CounterLabelsFor(r.headerRead, r.type);
        EXPECT_STREQ(r.filesDeleted, labels.filesDeleted);
        EXPECT_STREQ(r.processesTerminated, labels.processesTerminated);
    }
}

TEST(WindowTexts, LongestHeaderFieldsFitWhole) {
    std::string name(THREAT_NAME_SIZE - 1, 'n');
    std::string version(DATA_VERSION_SIZE - 1, 'v');
    WindowTexts texts;
    BuildWindowTexts(&texts, true, name.c_str(), version.c_str(), 4);
    EXPECT_EQ("Mendrix for " + name, texts.title);
    EXPECT_EQ("Data Version: " + version, texts.versionLine);
    EXPECT_EQ("Application removal for " + name, texts.description);
}

}  // namespace
