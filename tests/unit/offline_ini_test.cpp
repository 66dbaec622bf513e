// The offline cleaner's INI files and paths: the reader and writer against
// the cases the Windows profile functions handle, the installation's INI
// file mapping, and Windows paths resolved on a mounted tree.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "offline/ansi_names.h"
#include "offline/ini_mapping.h"
#include "offline/ini_text.h"
#include "offline/mounted_tree.h"
#include "offline/mounted_tree_short.h"
#include "offline/offline_profiles.h"

namespace {

const char* const kDelete = nullptr;

struct ReadRow {
    int row;
    const char* text;
    const char* section;
    const char* name;
    const char* value;  // null: not found
};

const ReadRow kReads[] = {
    {1, "[windows]\r\nload=a.exe\r\n", "windows", "load", "a.exe"},
    {2, "[Windows]\r\nLOAD = a.exe  \r\n", "WINDOWS", "load", "a.exe"},  // any case, blanks dropped
    {3, "[windows]\r\nload=\"a b\"\r\n", "windows", "load", "a b"},      // one pair of quotes dropped
    {4, "[windows]\r\nload='a\"\r\n", "windows", "load", "'a\""},        // quotes that do not pair stay
    {5, "[windows]\r\nload=1\r\nload=2\r\n", "windows", "load", "1"},    // the first entry wins
    {6, "[w]\r\n[windows]\r\nrun=1\r\n[windows]\r\nload=2\r\n", "windows", "load", nullptr},  // first section only
    {7, "load=1\r\n[windows]\r\n", "windows", "load", nullptr},  // before any section
    {8, "[windows]\nload=1\n", "windows", "load", "1"},          // Unix line endings
    {9, "  [windows]  \r\n  load=x=y\r\n", "windows", "load", "x=y"},
    {10, "[windows]\r\nload\r\n", "windows", "load", ""},       // an entry without '='
    {11, "[win]dows]\r\nload=1\r\n", "win]dows", "load", "1"},  // the last ']' closes the name
    {12, "[windows\r\nload=1\r\n", "windows", "load", nullptr}, // not a header
    {13, "[windows]\r\nload=1", "windows", "load", "1"},        // no line ending at the end
    {14, "[\xC9T\xC9]\r\nx=1\r\n", "\xE9t\xE9", "X", "1"},       // Latin letters of the code page, any case
    {15, "", "windows", "load", nullptr},
};

TEST(OfflineIni, ReadsAsTheProfileFunctions) {
    for (const ReadRow& r : kReads) {
        std::string value;
        bool found = FindIniValue(r.text, r.section, r.name, &value);
        EXPECT_EQ(found, r.value != nullptr) << "row " << r.row;
        if (found && r.value) EXPECT_EQ(value, r.value) << "row " << r.row;
    }
}

struct WriteRow {
    int row;
    const char* before;
    const char* section;
    const char* name;
    const char* value;  // kDelete: delete the entry
    const char* after;
};

const WriteRow kWrites[] = {
    {1, "[windows]\r\nload=evil.exe\r\nrun=\r\n", "windows", "load", kDelete, "[windows]\r\nrun=\r\n"},
    {2, "[Boot]\r\nShell = evil.exe \r\n", "boot", "shell", "explorer.exe", "[Boot]\r\nShell=explorer.exe \r\n"},
    {3, "[boot]\nshell=a\n[x]\n", "boot", "shell", "b", "[boot]\nshell=b\n[x]\n"},  // the file's line ending
    {4, "[boot]\r\nx=1\r\n\r\n[y]\r\n", "boot", "shell", "e", "[boot]\r\nx=1\r\nshell=e\r\n\r\n[y]\r\n"},
    {5, "[y]\r\nz=1", "boot", "shell", "e", "[y]\r\nz=1\r\n[boot]\r\nshell=e\r\n"},
    {6, "", "boot", "shell", "e", "[boot]\r\nshell=e\r\n"},
    {7, "[boot]\r\nshell=e\r\n", "boot", "shell", "e", "[boot]\r\nshell=e\r\n"},  // the same value: untouched
    {8, "[boot]\r\n", "boot", "other", kDelete, "[boot]\r\n"},
    {9, "[a]\r\nk=1\r\n[a]\r\nk=2\r\n", "A", "K", kDelete, "[a]\r\n[a]\r\nk=2\r\n"},
    {10, "[a]", "a", "k", "1", "[a]\r\nk=1\r\n"},
    {11, "[a]\r\nk\r\n", "a", "k", "v", "[a]\r\nk=v\r\n"},
    {12, "; note\r\n[a]\r\nk=1\r\n", "a", "k", "2", "; note\r\n[a]\r\nk=2\r\n"},
};

TEST(OfflineIni, WritesOnlyTheEntrysLine) {
    for (const WriteRow& r : kWrites) {
        std::string text = r.before;
        bool changed = SetIniValue(&text, r.section, r.name, r.value);
        EXPECT_EQ(text, r.after) << "row " << r.row;
        EXPECT_EQ(changed, std::string(r.before) != r.after) << "row " << r.row;
    }
}

TEST(OfflineIni, AnswersAsTheProfileRead) {
    char buffer[8];
    EXPECT_EQ(CopyProfileAnswer(false, "", "dflt  ", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(CopyProfileAnswer(true, "0123456789", "d", buffer, sizeof buffer), 7u);
    EXPECT_STREQ(buffer, "0123456");
    EXPECT_EQ(CopyProfileAnswer(false, "", nullptr, buffer, sizeof buffer), 0u);
}

struct MappingRow {
    int row;
    const char* text;
    bool read;
    uint32_t root;
    const char* key;
    bool fileWhenMissing;
    bool fileToo;
};

const MappingRow kMappingTexts[] = {
    {1, "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", true, 0x80000001u,
     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", true, false},
    {2, "SYS:Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true, 0x80000002u,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true, false},
    {3, "#!@usr:X", true, 0x80000001u, "X", false, true},
    {4, "HKLM:X", false, 0, "", true, false},
};

TEST(OfflineIni, ReadsTheMappingTable) {
    for (const MappingRow& r : kMappingTexts) {
        IniMapping m = {};
        EXPECT_EQ(ReadMappingText(r.text, &m), r.read) << "row " << r.row;
        if (!r.read) continue;
        EXPECT_EQ(m.root, r.root) << "row " << r.row;
        EXPECT_EQ(m.key, r.key) << "row " << r.row;
        EXPECT_EQ(m.fileWhenMissing, r.fileWhenMissing) << "row " << r.row;
        EXPECT_EQ(m.fileToo, r.fileToo) << "row " << r.row;
    }
}

// A registry of text values: "root|key" -> name -> value, any case for keys.
std::map<std::string, std::map<std::string, std::string>> g_keys;

std::string KeyId(uint32_t root, const char* path) {
    std::string id = std::to_string(root) + "|" + path;
    for (char& c : id) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return id;
}
int32_t Open(uint32_t root, const char* path, RegistryKey* key) {
    auto k = g_keys.find(KeyId(root, path));
    if (k == g_keys.end()) return REGISTRY_NOT_FOUND;
    *key = &k->second;
    return REGISTRY_OK;
}
void Close(RegistryKey) {}
int32_t Query(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    auto& values = *static_cast<std::map<std::string, std::string>*>(key);
    auto v = values.find(name);
    if (v == values.end()) return REGISTRY_NOT_FOUND;
    *type = REGISTRY_TEXT;
    if (v->second.size() + 1 > *size) return REGISTRY_MORE_DATA;
    memcpy(data, v->second.c_str(), v->second.size() + 1);
    *size = static_cast<uint32_t>(v->second.size() + 1);
    return REGISTRY_OK;
}
int32_t Set(RegistryKey key, const char* name, uint32_t, const uint8_t* data, uint32_t size) {
    (*static_cast<std::map<std::string, std::string>*>(key))[name] = std::string(reinterpret_cast<const char*>(data));
    return REGISTRY_OK;
}
int32_t Delete(RegistryKey key, const char* name) {
    return static_cast<std::map<std::string, std::string>*>(key)->erase(name) ? REGISTRY_OK : REGISTRY_NOT_FOUND;
}
const RegistryCalls kRegistry = {Open, Close, nullptr, nullptr, Query, Set, Delete, nullptr};

// A scratch folder standing for a mounted C: drive.
class MountedTree : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mendrix-offline-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        root_ = pattern;
        ClearDriveMounts();
        AddDriveMount('c', root_);
        g_keys.clear();
    }
    void TearDown() override {
        ClearDriveMounts();
        SetOfflineProfiles(nullptr, "");
        std::string command = "rm -rf '" + root_ + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    void Make(const std::string& path, const char* bytes = nullptr) {
        std::string full = root_ + "/" + path;
        if (!bytes) {
            ASSERT_EQ(mkdir(full.c_str(), 0755), 0) << path;
            return;
        }
        FILE* f = fopen(full.c_str(), "wb");
        ASSERT_TRUE(f) << path;
        fputs(bytes, f);
        fclose(f);
    }
    std::string Bytes(const std::string& path) {
        std::string text;
        FILE* f = fopen((root_ + "/" + path).c_str(), "rb");
        if (!f) return "<none>";
        for (int c; (c = fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
        fclose(f);
        return text;
    }
    std::string root_;
};

// A Windows path, what resolving it answers and where it leads.
struct PathRow {
    int row;
    const char* path;
    MountedPathStatus status;
    const char* posix;  // under the root
};

TEST_F(MountedTree, ResolvesWindowsPathsAnyCase) {
    Make("Windows");
    Make("Windows/system32");
    Make("Windows/system32/Evil.EXE", "x");
    Make("Windows/win.ini", "x");
    Make("Windows/W\xC3\xA9ird", "x");
    ASSERT_EQ(symlink("/etc", (root_ + "/Windows/out").c_str()), 0);
    ASSERT_EQ(symlink(".", (root_ + "/Windows/loop").c_str()), 0);
    const PathRow rows[] = {
        {1, "C:\\WINDOWS\\SYSTEM32\\evil.exe", MOUNTED_FOUND, "/Windows/system32/Evil.EXE"},
        {2, "c:/windows//System32/./x/../EVIL.exe. ", MOUNTED_FOUND, "/Windows/system32/Evil.EXE"},
        {3, "C:\\Windows\\new.ini", MOUNTED_MISSING, "/Windows/new.ini"},
        {4, "C:\\Windows\\nofolder\\a.ini", MOUNTED_NO_FOLDER, "/Windows/nofolder"},
        {5, "C:\\Windows\\win.ini\\a", MOUNTED_NO_FOLDER, "/Windows/win.ini"},
        {6, "C:\\Windows\\OUT\\passwd", MOUNTED_LINK, "/Windows/out"},
        {7, "C:\\Windows\\loop\\loop\\win.ini", MOUNTED_LINK, "/Windows/loop"},
        {8, "D:\\x", MOUNTED_NO_DRIVE, ""},
        {9, "\\\\server\\share\\x", MOUNTED_NO_DRIVE, ""},
        {10, "C:\\Windows\\W\xC9IRD", MOUNTED_FOUND, "/Windows/W\xC3\xA9ird"},
        {11, "C:\\Windows\\a\x81.exe", MOUNTED_BAD_NAME, ""},
        {12, "C:\\..\\..\\Windows", MOUNTED_FOUND, "/Windows"},
    };
    for (const PathRow& r : rows) {
        std::string posix;
        EXPECT_EQ(ResolveMountedPath(r.path, &posix), r.status) << "row " << r.row;
        if (*r.posix) EXPECT_EQ(posix, root_ + r.posix) << "row " << r.row;
    }
}

TEST(ShortNames, AreDerivedAsWindowsFormsThem) {
    struct Row {
        int row;
        const char* longName;
        const char* shortName;  // with ~1; empty: none other than the long name
    };
    const Row rows[] = {
        {1, "Program Files", "PROGRA~1"},
        {2, "Common Files", "COMMON~1"},
        {3, "my.long.file name.html", "MYLONG~1.HTM"},  // dots but the last and blanks dropped
        {4, "a+b,c.txt", "A_B_C~1.TXT"},                // barred characters made '_'
        {5, "x y.exe", "XY~1.EXE"},
        {6, "abc.html", "ABC~1.HTM"},
        {7, ".profile", "PROFIL~1"},  // a leading dot starts no extension
        {8, "evil.exe", ""},          // fits 8.3 in any case
        {9, "EVIL.EXE", ""},
        {10, "caf\xE9 au lait.txt", "CAF\xE9" "AU~1.TXT"},
    };
    for (const Row& r : rows) EXPECT_EQ(DerivedShortName(r.longName, 1), r.shortName) << "row " << r.row;
    EXPECT_EQ(DerivedShortName("Program Files", 12), "PROGRA~12");

    struct FormRow {
        int row;
        const char* component;
        bool shortForm;
    };
    const FormRow forms[] = {
        {1, "PROGRA~1", true},    {2, "progra~1", true},     {3, "MYLONG~1.HTM", true}, {4, "AB12CD~9", true},
        {5, "PROGRA~0", false},   {6, "PROGRAM~", false},    {7, "PROGRAMF~1", false},  {8, "A~1.HTML", false},
        {9, "~1", false},         {10, "A B~1", false},      {11, "AB~1.X.Y", false},   {12, "PROGRA~1A", false},
    };
    for (const FormRow& f : forms) EXPECT_EQ(LooksLikeShortName(f.component), f.shortForm) << "row " << f.row;
}

// Short names the mount records, by the entry's path below the scratch root.
std::map<std::string, std::string> g_recordedDosNames;
std::string g_recordedRoot;

bool RecordedDosName(const std::string& posixPath, std::string* dosName) {
    auto found = g_recordedDosNames.find(posixPath.substr(g_recordedRoot.size()));
    if (found == g_recordedDosNames.end()) return false;
    *dosName = found->second;
    return true;
}

TEST_F(MountedTree, ResolvesShortNames) {
    Make("Program Files");
    Make("Program Files/Common Files");
    Make("Program Files/Common Files/x.exe", "x");
    Make("Documents and Settings");
    Make("Documents Old");
    Make("abc.txt", "x");
    Make("Recorded");
    Make("Recorded/Long Name One.txt", "1");
    Make("Recorded/Long Name Two.txt", "2");
    Make("Recorded/Other Name.txt", "3");
    ASSERT_EQ(symlink("/etc", (root_ + "/Link Target").c_str()), 0);
    // Windows numbered these two by the order they were made, which only
    // the mount's record shows.
    g_recordedRoot = root_;
    g_recordedDosNames = {{"/Recorded/Long Name One.txt", "LONGNA~2.TXT"},
                          {"/Recorded/Long Name Two.txt", "LONGNA~1.TXT"}};
    SetDosNameReader(RecordedDosName);
    const PathRow rows[] = {
        {1, "C:\\PROGRA~1\\COMMON~1\\X.EXE", MOUNTED_FOUND, "/Program Files/Common Files/x.exe"},  // derived
        {2, "c:\\progra~1\\common~1", MOUNTED_FOUND, "/Program Files/Common Files"},
        {3, "C:\\Recorded\\longna~2.txt", MOUNTED_FOUND, "/Recorded/Long Name One.txt"},  // by the record
        {4, "C:\\Recorded\\LONGNA~1.TXT", MOUNTED_FOUND, "/Recorded/Long Name Two.txt"},
        {5, "C:\\Recorded\\OTHERN~1.TXT", MOUNTED_MISSING, "/Recorded/OTHERN~1.TXT"},  // the record alone decides
        {6, "C:\\DOCUME~1\\a.exe", MOUNTED_NO_FOLDER, "/DOCUME~1"},                      // two could bear it
        {7, "C:\\PROGRA~2", MOUNTED_MISSING, "/PROGRA~2"},                               // only ~1 is derived
        {8, "C:\\ABC~1.TXT", MOUNTED_MISSING, "/ABC~1.TXT"},                             // abc.txt has no other
        {9, "C:\\LINKTA~1\\passwd", MOUNTED_LINK, "/Link Target"},                       // never followed
    };
    for (const PathRow& r : rows) {
        std::string posix;
        EXPECT_EQ(ResolveMountedPath(r.path, &posix), r.status) << "row " << r.row;
        EXPECT_EQ(posix, root_ + r.posix) << "row " << r.row;
    }
    SetDosNameReader(nullptr);
}

TEST_F(MountedTree, MountNamesTheCodePageCannotSpellAreRefused) {
    std::string ansi;
    EXPECT_TRUE(Utf8ToAnsi("W\xC3\xA9ird \xE2\x82\xAC", &ansi));
    EXPECT_EQ(ansi, "W\xE9ird \x80");
    EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\xAD", &ansi));   // a character outside the code page
    EXPECT_FALSE(Utf8ToAnsi("a\xFF" "b", &ansi));      // not UTF-8
    EXPECT_FALSE(Utf8ToAnsi("\xC0\xAF", &ansi));       // an overlong '/'
    EXPECT_FALSE(Utf8ToAnsi("\xE2\x82", &ansi));       // cut short
}

// Section, entry and key names match as Windows matches them: by their
// characters in any case, a byte the code page leaves unused only itself.
TEST(AnsiNames, MatchByTheirCharactersInAnyCase) {
    const struct {
        int row;
        const char* a;
        const char* b;
        bool same;
    } rows[] = {
        {1, "WIN.INI", "win.ini", true},
        {2, "\xE9t\xE9", "\xC9T\xC9", true},
        {3, "\x9A", "\x8A", true},
        {4, "\xFF", "\x9F", true},
        {5, "a", "ab", false},
        {6, "\x81", "\x81", true},
        {7, "\x81", "\x8D", false},
        {8, "\x90", "\x9D", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SameAnsiAnyCase(r.a, strlen(r.a), r.b, strlen(r.b)), r.same) << "row " << r.row;
}

// The profile calls over the tree: entries the mapping sends to the
// registry are read and changed there, the rest in the file, byte for byte.
TEST_F(MountedTree, ProfileCallsFollowTheIniFileMapping) {
    Make("WINDOWS");
    Make("WINDOWS/WIN.INI", "[windows]\r\nload=file.exe\r\nrun=evil.exe\r\n[Other]\nx=1\n");
    Make("other.ini", "[windows]\r\nload=plain.exe\r\n");
    const std::string table = "2147483650|software\\microsoft\\windows nt\\currentversion\\inifilemapping\\win.ini";
    g_keys[table + "\\windows"][""] = "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    g_keys[table + "\\windows"]["run"] = "@SYS:Run";
    g_keys["2147483649|software\\microsoft\\windows nt\\currentversion\\windows"]["load"] = "reg.exe";
    g_keys["2147483650|software\\run"] = {};
    SetOfflineProfiles(&kRegistry, "C:\\Windows");
    const ProfileCalls* calls = OfflineProfileCalls();
    char buffer[256];
    calls->read("Windows", "load", "d", buffer, sizeof buffer, "C:\\windows\\win.ini");
    EXPECT_STREQ(buffer, "reg.exe");
    calls->read("windows", "run", "d", buffer, sizeof buffer, "C:\\WINDOWS\\win.ini");
    EXPECT_STREQ(buffer, "d");  // '@': the file is not read for it
    calls->read("windows", "load", "d", buffer, sizeof buffer, "C:\\other.ini");
    EXPECT_STREQ(buffer, "plain.exe");  // not in the Windows folder: not mapped
    calls->read("other", "X", "d", buffer, sizeof buffer, "C:\\windows\\win.ini");
    EXPECT_STREQ(buffer, "1");

    EXPECT_TRUE(calls->write("windows", "load", kDelete, "C:\\Windows\\win.ini"));
    EXPECT_EQ(g_keys["2147483649|software\\microsoft\\windows nt\\currentversion\\windows"].count("load"), 0u);
    EXPECT_TRUE(calls->write("windows", "run", "ok.exe", "C:\\Windows\\win.ini"));
    EXPECT_EQ(g_keys["2147483650|software\\run"]["run"], "ok.exe");
    EXPECT_TRUE(calls->write("other", "x", "2", "C:\\Windows\\win.ini"));
    EXPECT_EQ(Bytes("WINDOWS/WIN.INI"), "[windows]\r\nload=file.exe\r\nrun=evil.exe\r\n[Other]\nx=2\n");
    EXPECT_TRUE(calls->write("windows", "load", kDelete, "C:\\other.ini"));
    EXPECT_EQ(Bytes("other.ini"), "[windows]\r\n");
    EXPECT_TRUE(calls->write("a", "b", kDelete, "C:\\missing.ini"));
    EXPECT_EQ(Bytes("missing.ini"), "<none>");  // deleting from no file makes none
    EXPECT_TRUE(calls->write("a", "b", "c", "C:\\WINDOWS\\new.ini"));
    EXPECT_EQ(Bytes("WINDOWS/new.ini"), "[a]\r\nb=c\r\n");
    ASSERT_EQ(symlink((root_ + "/other.ini").c_str(), (root_ + "/WINDOWS/link.ini").c_str()), 0);
    EXPECT_FALSE(calls->write("windows", "load", "x", "C:\\Windows\\link.ini"));
    EXPECT_EQ(Bytes("other.ini"), "[windows]\r\n");  // nothing written through a link
}

}  // namespace
