// INIFILE and its KEY entries against INI files kept in memory: which entries
// are reset or deleted, the messages and counters, and the element's records.
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "app/open_group.h"
#include "report/counters.h"
#include "report/folder_macro.h"
#include "script/cleaning.h"
#include "script_harness.h"
#include "system/profile_calls.h"
#include "fake_undo_saving.h"
#include "recorded_items.h"
#include "script/settings.h"

namespace {

// file -> section -> entry -> value, as the profile functions see them.
typedef std::map<std::string, std::map<std::string, std::string>> Sections;
std::map<std::string, Sections> g_files;
std::vector<std::string> g_writes;  // every write but the flushes, in order
int g_flushes;
bool g_writeFails;
const uint32_t kWriteError = 32;  // what a failed write leaves as the last error

uint32_t Read(const char* section, const char* name, const char* defaultText, char* buffer, uint32_t size,
              const char* file) {
    std::string value = defaultText ? defaultText : "";
    auto f = g_files.find(file);
    if (f != g_files.end() && f->second.count(section) && f->second[section].count(name))
        value = f->second[section][name];
    size_t n = std::min<size_t>(value.size(), size - 1);
    memcpy(buffer, value.data(), n);
    buffer[n] = 0;
    return static_cast<uint32_t>(n);
}

bool Write(const char* section, const char* name, const char* value, const char* file) {
    if (!section && !name && !value) {  // the cache flush
        ++g_flushes;
        return true;
    }
    g_writes.push_back(std::string(section) + "/" + name + "=" + (value ? value : "<deleted>"));
    if (g_writeFails) {
        g_fakeLastError = kWriteError;
        return false;
    }
    if (value)
        g_files[file][section][name] = value;
    else
        g_files[file][section].erase(name);
    return true;
}

const ProfileCalls kFakeProfiles = {Read, Write};
// Members this test does not use stay null, however many the table grows.
CleaningWork MakeWork() {
    CleaningWork work = {};
    work.profiles = &kFakeProfiles;
    return work;
}
const CleaningWork kWork = MakeWork();

const char kFile[] = "C:\\WINDOWS\\win.ini";

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"F\" Type=\"Worm\"><IDENTITY GenericName=\"Gen\">" + body + "</IDENTITY></CLEANER>";
}
std::string IniScript(const std::string& keys, const std::string& attributes = "FileName=\"windows\\win.ini\"") {
    return Script("<INIFILE " + attributes + ">" + keys + "</INIFILE>");
}

const char kHeading[] = "\r\nRemoving Gen entries from C:\\WINDOWS\\win.ini\r\n";
const char kNotFound[] = "Could not find any Gen entries in C:\\WINDOWS\\win.ini\r\n";
const char kRemoved[] = "Entry successfully removed from C:\\WINDOWS\\win.ini\r\n";

class IniFile : public ::testing::Test {
  protected:
    void SetUp() override {
        g_files.clear();
        g_writes.clear();
        g_flushes = 0;
        g_writeFails = false;
        g_fakeLastError = 0;
        g_cleaning = &kWork;
        g_standInFolders[FOLDER_WINDOWS] = "C:\\WINDOWS";
        ResetCounters();
        FreeRunItems();
        g_settings.reportOnly = 0;
    }
    void TearDown() override {
        FreeRunItems();
        g_settings.reportOnly = 0;
        g_cleaning = nullptr;
        g_standInFolders[FOLDER_WINDOWS] = kStandInDefaults[FOLDER_WINDOWS];
    }
    static std::string& Entry(const char* section, const char* name) { return g_files[kFile][section][name]; }
    static bool Has(const char* section, const char* name) { return g_files[kFile][section].count(name) != 0; }
};

struct EntryRow {
    int row;
    const char* value;  // null: the entry is missing
    const char* elements;
    const char* after;  // null: deleted (or still missing)
    bool found;
};

const EntryRow kEntries[] = {
    {1, "c:\\windows\\notepad.exe C:\\WINDOWS\\EVIL.EXE", "<VIRUSVALUE>evil.exe</VIRUSVALUE>", nullptr, true},
    {2, "c:\\windows\\evil.exe", "<VIRUSVALUE>Evil.exe</VIRUSVALUE><DEFAULT>Explorer.exe</DEFAULT>", "explorer.exe",
     true},
    {3, "c:\\windows\\EXPLORER.EXE", "<DEFAULT>Explorer.exe</DEFAULT>", "c:\\windows\\EXPLORER.EXE", false},
    {4, "c:\\windows\\evil.exe", "<DEFAULT>Explorer.exe</DEFAULT>", "explorer.exe", true},
    {5, "anything", "", nullptr, true},
    {6, "", "", "", false},
    {7, nullptr, "", nullptr, false},
    // a missing entry reads as its default, which holds itself
    {8, nullptr, "<DEFAULT>Explorer.exe</DEFAULT>", nullptr, false},
    {9, "c:\\good.exe", "<VIRUSVALUE>evil.exe</VIRUSVALUE>", "c:\\good.exe", false},
};

TEST_F(IniFile, EachEntryEndsAsItsKeySays) {
    for (const EntryRow& r : kEntries) {
        SetUp();
        if (r.value) Entry("windows", "load") = r.value;
        Entry("windows", "run") = "keep evil.exe";
        ScriptRun run = RunScript(IniScript(std::string("<KEY section=\"windows\" name=\"load\">") + r.elements + "</KEY>"));
        EXPECT_EQ(r.after != nullptr, Has("windows", "load")) << "row " << r.row;
        if (r.after && Has("windows", "load")) EXPECT_EQ(r.after, Entry("windows", "load")) << "row " << r.row;
        EXPECT_EQ("keep evil.exe", Entry("windows", "run")) << "row " << r.row;
        std::string expected = std::string(kHeading) + (r.found ? kRemoved : kNotFound);
        EXPECT_NE(std::string::npos, run.record.log.find(expected)) << "row " << r.row << run.record.log;
        EXPECT_EQ(r.found ? 1 : 0, g_counters[COUNT_INI_FOUND]) << "row " << r.row;
        EXPECT_EQ(r.found ? 1 : 0, g_counters[COUNT_INI_CHANGED]) << "row " << r.row;
        EXPECT_TRUE(run.context.flags & RUN_DID_INIFILES) << "row " << r.row;
    }
}

TEST_F(IniFile, OnlyTheFirst255CharactersAreCompared) {
    Entry("windows", "load") = std::string(260, 'a') + "evil.exe";
    RunScript(IniScript("<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil.exe</VIRUSVALUE></KEY>"));
    EXPECT_TRUE(Has("windows", "load"));
    Entry("windows", "load") = std::string(240, 'a') + "evil.exe";
    RunScript(IniScript("<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil.exe</VIRUSVALUE></KEY>"));
    EXPECT_FALSE(Has("windows", "load"));
}

TEST_F(IniFile, KeysAreExaminedLastFirst) {
    Entry("boot", "shell") = "evil.exe";
    Entry("windows", "load") = "evil.exe";
    RunScript(IniScript("<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil</VIRUSVALUE></KEY>"
                      "<KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>evil</VIRUSVALUE>"
                      "<DEFAULT>Explorer.exe</DEFAULT></KEY>"));
    EXPECT_EQ((std::vector<std::string>{"boot/shell=explorer.exe", "windows/load=<deleted>"}), g_writes);
}

TEST_F(IniFile, KeyWithoutSectionOrNameTouchesNothing) {
    Entry("windows", "load") = "evil.exe";
    Entry("windows", "run") = "evil.exe";
    ScriptRun run = RunScript(IniScript("<KEY section=\"windows\"><VIRUSVALUE>evil</VIRUSVALUE></KEY>"
                                      "<KEY name=\"load\"></KEY>"));
    EXPECT_TRUE(g_writes.empty());
    EXPECT_TRUE(Has("windows", "load"));
    EXPECT_TRUE(Has("windows", "run"));
    EXPECT_NE(std::string::npos, run.record.log.find(kNotFound));
}

TEST_F(IniFile, FailedWriteIsReportedAndCountedAsFoundOnly) {
    Entry("windows", "load") = "evil.exe";
    g_writeFails = true;
    ScriptRun run = RunScript(IniScript("<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil</VIRUSVALUE></KEY>"));
    EXPECT_NE(std::string::npos,
              run.record.log.find("Could not remove the virus entry from C:\\WINDOWS\\win.ini\r\n"));
    EXPECT_EQ(1, g_counters[COUNT_INI_FOUND]);
    EXPECT_EQ(0, g_counters[COUNT_INI_CHANGED]);
    EXPECT_EQ(std::string::npos, run.record.log.find(kNotFound));
}

TEST_F(IniFile, DefaultMessagesOffKeepsTheNotFoundLine) {
    ScriptRun run = RunScript(IniScript("<KEY section=\"s\" name=\"n\"/>", "DefaultMessages=\"off\" FileName=\"windows\\win.ini\""));
    EXPECT_EQ(std::string::npos, run.record.log.find(kHeading));
    EXPECT_NE(std::string::npos, run.record.log.find(kNotFound));
}

TEST_F(IniFile, BadAttributesAreCorruptDataAndNothingIsDone) {
    struct Row {
        int row;
        std::string script;
    } rows[] = {
        {1, IniScript("", "")},
        {2, IniScript("", "FileName=\"a.ini\" mode=\"x\"")},
        {3, IniScript("<KEY section=\"s\" name=\"n\" value=\"v\"/>")},
    };
    for (const Row& r : rows) {
        SetUp();
        Entry("s", "n") = "v";
        ScriptRun run = RunScript(r.script);
        EXPECT_NE(std::string::npos, run.record.log.find("\r\nCorrupt data\r\n")) << "row " << r.row;
        EXPECT_EQ(std::string::npos, run.record.log.find("Removing")) << "row " << r.row;
        EXPECT_TRUE(g_writes.empty()) << "row " << r.row;
        EXPECT_FALSE(run.context.flags & RUN_IN_INIFILE) << "row " << r.row;
    }
}

}  // namespace

namespace {

// A data file that breaks off inside a group leaves it open; the run's end
// releases it without doing its work (the leak checker sees what is left).
TEST_F(IniFile, GroupLeftOpenByABrokenFileIsReleasedWithoutWork) {
    Entry("windows", "load") = "evil.exe";
    const char* broken[] = {
        "<INIFILE FileName=\"windows\\win.ini\"><KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil",
        "<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"S\"><VALUE name=\"v\"><VIRUSVALUE>evil",
    };
    for (const char* body : broken) {
        ScriptRun run = RunScript(std::string("<CLEANER DataFile=\"F\"><IDENTITY GenericName=\"Gen\">") + body);
        EXPECT_EQ(0, run.parseStatus);
        run.context.flags |= RUN_SKIP;
        CloseOpenGroup(&run.context);
        EXPECT_EQ(0u, run.context.flags & (RUN_IN_INIFILE | RUN_IN_REGISTRY)) << body;
        EXPECT_EQ(nullptr, run.context.groupRecord) << body;
        EXPECT_EQ(nullptr, run.context.iniKeys) << body;
        EXPECT_TRUE(g_writes.empty()) << body;
    }
}

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Each change is saved for undo first: a refused save leaves the entry
// alone and reported; the saver hears whether the write worked.
TEST_F(IniFile, EntriesAreSavedForUndoFirst) {
    struct Row {
        int row;
        bool saveAnswer;
        bool writeFails;
        const char* log;
        std::vector<std::string> calls;
        bool kept;
    } rows[] = {
        {1, true, false, kRemoved,
         {"ini C:\\WINDOWS\\win.ini [windows] load", "made", "ini C:\\WINDOWS\\win.ini [boot] shell = explorer.exe", "made"},
         false},
        {2, true, true, "Could not remove the virus entry from C:\\WINDOWS\\win.ini\r\n",
         {"ini C:\\WINDOWS\\win.ini [windows] load", "not made", "ini C:\\WINDOWS\\win.ini [boot] shell = explorer.exe",
          "not made"},
         true},
        {3, false, false,
         "Could not remove the virus entry from C:\\WINDOWS\\win.ini: could not save it for undo (the disk is full)\r\n",
         {"ini C:\\WINDOWS\\win.ini [windows] load", "ini C:\\WINDOWS\\win.ini [boot] shell = explorer.exe"}, true},
    };
    for (const Row& r : rows) {
        SetUp();
        Entry("windows", "load") = "evil.exe";
        Entry("boot", "shell") = "evil.exe";
        g_writeFails = r.writeFails;
        FakeUndoSaving::Install(r.saveAnswer);
        ScriptRun run = RunScript(IniScript("<KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>evil</VIRUSVALUE>"
                                            "<DEFAULT>Explorer.exe</DEFAULT></KEY>"
                                            "<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>evil</VIRUSVALUE></KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.calls, FakeUndoSaving::Calls()) << "row " << r.row;
        EXPECT_EQ(r.kept, Has("windows", "load")) << "row " << r.row;
        EXPECT_EQ(r.kept ? "evil.exe" : "explorer.exe", Entry("boot", "shell")) << "row " << r.row;
        EXPECT_EQ(2u, CountOf(run.record.log, r.log)) << "row " << r.row << run.record.log;
        if (!r.saveAnswer) EXPECT_TRUE(g_writes.empty()) << "row " << r.row;
    }
}


// A report-only run reads the entries and counts what it finds, but writes
// nothing to the profile, flushes included, and saves nothing for undo.
TEST_F(IniFile, ReportOnlyWritesNothingAndSaysWhatItWould) {
    struct Row {
        int row;
        const char* value;
        const char* elements;
        const char* log;  // follows the heading
        const char* item;
    } rows[] = {
        {1, "c:\\windows\\evil.exe", "<VIRUSVALUE>Evil.exe</VIRUSVALUE>",
         "Would remove the entry load of section [windows] from C:\\WINDOWS\\win.ini\r\n",
         "iniEntry|C:\\WINDOWS\\win.ini [windows] load|evil.exe|delete|wouldDo|0"},
        {2, "c:\\windows\\evil.exe", "<VIRUSVALUE>evil.exe</VIRUSVALUE><DEFAULT>Explorer.exe</DEFAULT>",
         "Would reset the entry load of section [windows] in C:\\WINDOWS\\win.ini to explorer.exe\r\n",
         "iniEntry|C:\\WINDOWS\\win.ini [windows] load|evil.exe|reset|wouldDo|0"},
        {3, "c:\\windows\\evil.exe", "<DEFAULT>Explorer.exe</DEFAULT>",
         "Would reset the entry load of section [windows] in C:\\WINDOWS\\win.ini to explorer.exe\r\n",
         "iniEntry|C:\\WINDOWS\\win.ini [windows] load|does not contain DEFAULT explorer.exe|reset|wouldDo|0"},
        {4, "anything", "", "Would remove the entry load of section [windows] from C:\\WINDOWS\\win.ini\r\n",
         "iniEntry|C:\\WINDOWS\\win.ini [windows] load||delete|wouldDo|0"},
        {5, "c:\\good.exe", "<VIRUSVALUE>evil.exe</VIRUSVALUE>", kNotFound, nullptr},
    };
    for (const Row& r : rows) {
        SetUp();
        g_settings.reportOnly = 1;
        Entry("windows", "load") = r.value;
        FakeUndoSaving::Install(true);
        ScriptRun run = RunScript(IniScript(std::string("<KEY section=\"windows\" name=\"load\">") + r.elements + "</KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_NE(std::string::npos, run.record.log.find(std::string(kHeading) + r.log)) << "row " << r.row << run.record.log;
        EXPECT_EQ(r.value, Entry("windows", "load")) << "row " << r.row;
        EXPECT_TRUE(g_writes.empty()) << "row " << r.row;
        EXPECT_EQ(0, g_flushes) << "row " << r.row;
        EXPECT_TRUE(FakeUndoSaving::Calls().empty()) << "row " << r.row;
        EXPECT_EQ(r.item ? 1 : 0, g_counters[COUNT_INI_FOUND]) << "row " << r.row;
        EXPECT_EQ(0, g_counters[COUNT_INI_CHANGED]) << "row " << r.row;
        std::vector<std::string> items;
        if (r.item) items.push_back(r.item);
        EXPECT_EQ(items, RecordedItems()) << "row " << r.row;
    }
}

// One item per entry acted on: done, failed with the error the write left,
// or left alone because it could not be saved for undo.
TEST_F(IniFile, EachEntryActedOnIsOneItemOfTheRunReport) {
    struct Row {
        int row;
        bool saveAnswer;
        bool writeFails;
        std::vector<std::string> items;
    } rows[] = {
        {1, true, false,
         {"iniEntry|C:\\WINDOWS\\win.ini [boot] shell|evil|reset|done|0",
          "iniEntry|C:\\WINDOWS\\win.ini [windows] load|evil|delete|done|0"}},
        {2, true, true,
         {"iniEntry|C:\\WINDOWS\\win.ini [boot] shell|evil|reset|failed|32",
          "iniEntry|C:\\WINDOWS\\win.ini [windows] load|evil|delete|failed|32"}},
        {3, false, false,
         {"iniEntry|C:\\WINDOWS\\win.ini [boot] shell|evil|reset|notSaved|0",
          "iniEntry|C:\\WINDOWS\\win.ini [windows] load|evil|delete|notSaved|0"}},
    };
    for (const Row& r : rows) {
        SetUp();
        Entry("windows", "load") = "evil.exe";
        Entry("boot", "shell") = "evil.exe";
        Entry("boot", "other") = "fine.exe";
        g_writeFails = r.writeFails;
        FakeUndoSaving::Install(r.saveAnswer);
        RunScript(IniScript("<KEY section=\"windows\" name=\"load\"><VIRUSVALUE>EVIL</VIRUSVALUE></KEY>"
                            "<KEY section=\"boot\" name=\"other\"><VIRUSVALUE>evil</VIRUSVALUE></KEY>"
                            "<KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>evil</VIRUSVALUE>"
                            "<DEFAULT>Explorer.exe</DEFAULT></KEY>"));
        FakeUndoSaving::Remove();
        EXPECT_EQ(r.items, RecordedItems()) << "row " << r.row;
    }
}

}  // namespace
