// Network shares end to end: the console program removes and saves shares
// through the stand-in netapi32.dll (NT family) or svrapi.dll (9x family),
// whose share table this test sets up and reads back, and a restore-only run
// creates them again from the records under HKLM\SOFTWARE\Mendrix.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "script/json.h"
#include "support/extract_resource_win.h"
#include "share_table.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kTable[] = "C:\\mendrix\\shares.tab";
const char kAppKey[] = "Software\\Wine\\AppDefaults\\mendrix-cli.exe";
const char kOverrideKey[] = "Software\\Wine\\AppDefaults\\mendrix-cli.exe\\DllOverrides";
const char kSaved[] = "SOFTWARE\\Mendrix";

const char kRemoveXml[] =
    "<CLEANER DataFile=\"Test.Shares\" Type=\"Worm\"><IDENTITY GenericName=\"Test\">"
    "<EXECUTE>removeShares</EXECUTE></IDENTITY></CLEANER>";

// UTF-16LE bytes of an ASCII text with its two-byte terminator.
std::string Wide(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out + std::string(2, '\0');
}
std::string Narrow(const std::string& text) { return text + std::string(1, '\0'); }
std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

void DeleteTree(HKEY parent, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) DeleteTree(key, name);
    RegCloseKey(key);
    RegDeleteKeyA(parent, path);
}

// One value as "<type>:<bytes>", or "missing".
std::string Value(const std::string& subkey, const char* name) {
    HKEY key;
    std::string path = std::string(kSaved) + "\\" + subkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "no key";
    DWORD type = 0, size = 0;
    std::string out = "missing";
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
        out = (type == REG_BINARY ? "binary:" : type == REG_DWORD ? "dword:" : "other:") + bytes.substr(0, size);
    }
    RegCloseKey(key);
    return out;
}
std::string Bin(const std::string& bytes) { return "binary:" + bytes; }
std::string Dw(DWORD value) { return "dword:" + Dword(value); }

bool SubkeyExists(const std::string& subkey) {
    HKEY key;
    std::string path = std::string(kSaved) + "\\" + subkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A saved record written as a removal would: values in order, skipping
// absent texts.
struct Record {
    std::string name, remark, path, readOnly, full;
    DWORD type = 0, flags = 0, permissions = 0, maxUses = 0;
    bool hasPath = true, hasReadOnly = false, hasFull = false;
};
void WriteRecord(const std::string& subkey, const Record& r) {
    HKEY key;
    std::string path = std::string(kSaved) + "\\" + subkey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    auto binary = [&](const char* name, const std::string& bytes) {
        RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    };
    auto dword = [&](const char* name, DWORD value) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    };
    binary("name", r.name);
    dword("type", r.type);
    dword("flags", r.flags);
    dword("permissions", r.permissions);
    dword("max_uses", r.maxUses);
    binary("remark", r.remark);
    if (r.hasPath) binary("path", r.path);
    if (r.hasReadOnly) binary("passwordro", r.readOnly);
    if (r.hasFull) binary("passwordrw", r.full);
    RegCloseKey(key);
}

TableShare Share(unsigned long type, const std::string& name, const char* path, const char* remark) {
    TableShare s;
    s.type = type;
    s.name = name;
    s.hasPath = path != nullptr;
    s.path = path ? path : "";
    s.hasRemark = remark != nullptr;
    s.remark = remark ? remark : "";
    return s;
}

std::vector<std::string> NamesOf(const ShareTable& table) {
    std::vector<std::string> names;
    for (const TableShare& s : table.shares) names.push_back(s.name);
    return names;
}

// The share work of one run on the NT family: the stand-in netapi32.dll,
// installed in the system folder, is loaded by the console program alone,
// through its own DLL override.
class SharesNt : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NE("", InstallSystemLibrary("NETAPI32_STANDIN", "netapi32.dll"));
        ASSERT_NE("", InstallSystemLibrary("SVRAPI_STANDIN", "svrapi.dll"));
    }
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        log = folder + "\\run.log";
        dat = folder + "\\shares.dat";
        ASSERT_TRUE(BuildDataFile(kRemoveXml, dat));
        SetRegistryValue(HKEY_CURRENT_USER, kOverrideKey, "netapi32", REG_SZ, Sz("native,builtin"));
        DeleteTree(HKEY_LOCAL_MACHINE, kSaved);
        RemoveFile(kTable);
    }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kAppKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kSaved);
        RemoveFile(kTable);
    }
    ProcessResult Run(const std::string& options, const std::string& input = "") {
        return RunProgram(std::string(kCli) + " -df=" + dat + " -lf=" + log + " " + options, input);
    }
    static void SetTable(const ShareTable& table) { ASSERT_TRUE(SaveShareTable(kTable, table)); }
    static ShareTable Table() {
        ShareTable table;
        EXPECT_TRUE(LoadShareTable(kTable, &table));
        return table;
    }
    // A machine with a share of every type.
    static ShareTable EveryType() {
        ShareTable t;
        t.shares.push_back(Share(0, "DOCS", "C:\\docs", "papers"));
        t.shares.back().permissions = 0x7F;
        t.shares.back().maxUses = 10;
        t.shares.back().hasPassword = true;
        t.shares.back().password = "secret";
        t.shares.push_back(Share(1, "LASER", "LPT1:", "printer"));
        t.shares.push_back(Share(0x80000000, "C$", "C:\\", "Default share"));
        t.shares.push_back(Share(0x80000003, "IPC$", nullptr, "Remote IPC"));
        t.shares.push_back(Share(0x80000000, "ADMIN$", "C:\\windows", "Remote Admin"));
        t.shares.push_back(Share(3, "PIPE", nullptr, nullptr));
        t.shares.push_back(Share(0, "BARE", "C:\\bare", nullptr));
        return t;
    }
    std::string folder, log, dat;
};

TEST_F(SharesNt, DiskAndAdministrativeSharesAreRemovedAndSavedInOrder) {
    SetTable(EveryType());
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos,
              r.output.find("\r\nDisabling all open shares\r\n\r\n"
                            "Removing share DOCS\r\nShare DOCS successfuly removed\r\n"
                            "Removing share C$\r\nShare C$ successfuly removed\r\n"
                            "Removing share ADMIN$\r\nShare ADMIN$ successfuly removed\r\n"
                            "Removing share BARE\r\nShare BARE successfuly removed\r\n"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 4\r\n")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Administrator")) << "the stand-in lists the user as one";
    EXPECT_EQ((std::vector<std::string>{"LASER", "IPC$", "PIPE"}), NamesOf(Table()));

    // 1: every value of a disk share with a password
    EXPECT_EQ(Bin(Wide("DOCS")), Value("Share000", "name"));
    EXPECT_EQ(Dw(0), Value("Share000", "type"));
    EXPECT_EQ(Dw(0), Value("Share000", "flags"));
    EXPECT_EQ(Dw(0x7F), Value("Share000", "permissions"));
    EXPECT_EQ(Dw(10), Value("Share000", "max_uses"));
    EXPECT_EQ(Bin(Wide("papers")), Value("Share000", "remark"));
    EXPECT_EQ(Bin(Wide("C:\\docs")), Value("Share000", "path"));
    EXPECT_EQ("missing", Value("Share000", "passwordro"));
    EXPECT_EQ(Bin(Wide("secret")), Value("Share000", "passwordrw"));
    // 2: administrative shares keep their type; no password, no value
    EXPECT_EQ(Bin(Wide("C$")), Value("Share001", "name"));
    EXPECT_EQ(Dw(0x80000000), Value("Share001", "type"));
    EXPECT_EQ("missing", Value("Share001", "passwordrw"));
    EXPECT_EQ(Bin(Wide("ADMIN$")), Value("Share002", "name"));
    EXPECT_EQ(Bin(Wide("C:\\windows")), Value("Share002", "path"));
    // 3: a share without a remark gets an empty one
    EXPECT_EQ(Bin(Wide("BARE")), Value("Share003", "name"));
    EXPECT_EQ(Bin(""), Value("Share003", "remark"));
    EXPECT_FALSE(SubkeyExists("Share004"));
}

TEST_F(SharesNt, RemovedThenRestoredGivesTheSameSharesAndEmptiesTheRecords) {
    ShareTable before = EveryType();
    SetTable(before);
    ASSERT_EQ(0u, Run("-s -noc").exitCode);
    ProcessResult r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(0u,
              r.output.find("\r\nRestoring share DOCS (path C:\\docs)\r\n"
                            "Restoring share C$ (path C:\\)\r\n"
                            "Restoring share ADMIN$ (path C:\\windows)\r\n"
                            "Restoring share BARE (path C:\\bare)\r\n"
                            "\r\n4 shares restored\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Network shares deleted")) << "a restore-only run has no summary";
    ShareTable after = Table();
    EXPECT_EQ((std::vector<std::string>{"LASER", "IPC$", "PIPE", "DOCS", "C$", "ADMIN$", "BARE"}), NamesOf(after));
    for (const TableShare& b : before.shares) {
        int at = FindShare(after, b.name);
        ASSERT_GE(at, 0) << b.name;
        const TableShare& a = after.shares[at];
        EXPECT_EQ(b.type, a.type) << b.name;
        EXPECT_EQ(b.hasRemark ? b.remark : "", a.remark) << b.name;
        EXPECT_EQ(b.permissions, a.permissions) << b.name;
        EXPECT_EQ(b.maxUses, a.maxUses) << b.name;
        EXPECT_EQ(b.hasPassword, a.hasPassword) << b.name;
        EXPECT_EQ(b.password, a.password) << b.name;
        // ADMIN$ is created without a path; the server finds its own
        EXPECT_EQ(b.name != "ADMIN$" && b.hasPath, a.hasPath) << b.name;
        if (b.name != "ADMIN$") {
            EXPECT_EQ(b.path, a.path) << b.name;
        }
    }
    for (const char* n : {"Share000", "Share001", "Share002", "Share003"}) EXPECT_FALSE(SubkeyExists(n)) << n;
    EXPECT_TRUE(SubkeyExists("")) << "the parent key stays";
}

TEST_F(SharesNt, EachShareIsAskedAboutAndNoLeavesItUnsaved) {
    ShareTable t;
    for (const char* n : {"ONE", "TWO", "THREE"}) t.shares.push_back(Share(0, n, "C:\\x", "r"));
    SetTable(t);
    ProcessResult r = Run("-s", "y\r\nn\r\ny\r\n");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(3u, CountOf(r.output, "Do you want to remove share ")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nDo you want to remove share TWO? [y]es, [n]o: ")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Removing share TWO")) << r.output;
    EXPECT_EQ(std::vector<std::string>{"TWO"}, NamesOf(Table()));
    EXPECT_EQ(Bin(Wide("ONE")), Value("Share000", "name"));
    EXPECT_EQ(Bin(Wide("THREE")), Value("Share001", "name"));
    EXPECT_FALSE(SubkeyExists("Share002"));
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 2\r\n")) << r.output;
}

// The save numbers count for the whole process: a second removal in the same
// run goes on from where the first stopped; a new process goes on after the
// highest record left, and writes over none. One restoration then creates
// the shares of both runs.
TEST_F(SharesNt, SaveNumbersRunOnAndTwoRemovalsAreRestoredTogether) {
    ASSERT_TRUE(BuildDataFile("<CLEANER DataFile=\"T\"><IDENTITY><EXECUTE>removeShares</EXECUTE>"
                              "<EXECUTE>REMOVESHARES</EXECUTE></IDENTITY></CLEANER>",
                              dat));
    ShareTable t;
    t.shares.push_back(Share(0, "FIRST", "C:\\1", "r"));
    t.shares.back().hasPassword = true;
    t.shares.back().password = "pw";
    t.shares.push_back(Share(0, "SECOND", "C:\\2", "r"));
    SetTable(t);
    ProcessResult r = Run("-s", "y\r\nn\r\ny\r\n");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(2u, CountOf(r.output, "\r\nDisabling all open shares\r\n\r\n"));
    EXPECT_EQ(Bin(Wide("FIRST")), Value("Share000", "name"));
    EXPECT_EQ(Bin(Wide("SECOND")), Value("Share001", "name"));
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 2\r\n")) << r.output;

    ShareTable second;
    second.shares.assign(1, Share(0, "THIRD", "C:\\3", "r"));
    SetTable(second);
    r = Run("-s -noc");
    EXPECT_EQ(Bin(Wide("FIRST")), Value("Share000", "name"));
    EXPECT_EQ(Bin(Wide("pw")), Value("Share000", "passwordrw"));
    EXPECT_EQ(Bin(Wide("SECOND")), Value("Share001", "name"));
    EXPECT_EQ(Bin(Wide("THIRD")), Value("Share002", "name"));
    EXPECT_EQ("missing", Value("Share002", "passwordrw"));
    EXPECT_TRUE(Table().shares.empty());

    r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\n3 shares restored\r\n")) << r.output;
    EXPECT_EQ((std::vector<std::string>{"FIRST", "SECOND", "THIRD"}), NamesOf(Table()));
    EXPECT_EQ("pw", Table().shares[0].password);
    EXPECT_FALSE(SubkeyExists("Share000"));
    EXPECT_FALSE(SubkeyExists("Share002"));
}

// The security descriptor of a restricted share is saved with its record
// and given back when the share is created again; a record without one (as
// older runs wrote) is created without one.
TEST_F(SharesNt, ARestrictedShareComesBackRestricted) {
    // Administrators and SYSTEM may use it: a descriptor such as a
    // restricted share has, in self-relative form.
    PSECURITY_DESCRIPTOR made = nullptr;
    typedef BOOL(WINAPI * FromText)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    FromText fromText = reinterpret_cast<FromText>(GetProcAddress(
        GetModuleHandleA("advapi32.dll"), "ConvertStringSecurityDescriptorToSecurityDescriptorA"));
    ASSERT_NE(nullptr, fromText);
    ULONG size = 0;
    ASSERT_TRUE(fromText("O:BAG:SYD:(A;;0x1f01ff;;;BA)(A;;0x1200a9;;;SY)", 1, &made, &size));
    std::string descriptor(static_cast<const char*>(made), size);
    LocalFree(made);
    ShareTable t = EveryType();
    t.shares[0].security = descriptor;  // DOCS
    SetTable(t);
    ASSERT_EQ(0u, Run("-s -noc").exitCode);
    EXPECT_EQ(Bin(descriptor), Value("Share000", "security"));
    EXPECT_EQ("missing", Value("Share001", "security")) << "C$ has none in the stand-in";

    ProcessResult r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\n4 shares restored\r\n")) << r.output;
    ShareTable after = Table();
    int docs = FindShare(after, "DOCS"), bare = FindShare(after, "BARE");
    ASSERT_GE(docs, 0);
    ASSERT_GE(bare, 0);
    EXPECT_EQ(descriptor, after.shares[docs].security);
    EXPECT_EQ("", after.shares[bare].security);
}

struct OutcomeRow {
    int row;
    const char* options;
    unsigned long enumStatus;
    const char* refuse;
    const char* expected;  // a piece of the output
    const char* absent;    // must not be in the output
    int left;              // shares left in the table
    bool summaryLine;
};

const OutcomeRow kOutcomeRows[] = {
    // without -s the text does nothing at all
    {1, "-noc", 0, nullptr, "System scan finished", "Disabling", 2, false},
    {2, "-s -noc", 5, nullptr, "Could not enumerate all shares\r\n", "Disabling", 2, true},
    {3, "-s -noc", 0, "KEEP", "Removing share KEEP\r\nCould not remove share KEEP\r\n", "KEEP successfuly", 1, true},
};

TEST_F(SharesNt, FailuresAreReportedAndNothingIsLost) {
    for (const OutcomeRow& row : kOutcomeRows) {
        DeleteTree(HKEY_LOCAL_MACHINE, kSaved);
        ShareTable t;
        t.shares.push_back(Share(0, "KEEP", "C:\\keep", "r"));
        t.shares.push_back(Share(0, "GO", "C:\\go", "r"));
        t.enumStatus = row.enumStatus;
        if (row.refuse) t.refuseDelete.push_back(row.refuse);
        SetTable(t);
        ProcessResult r = Run(row.options);
        EXPECT_EQ(0u, r.exitCode) << "row " << row.row;
        EXPECT_NE(std::string::npos, r.output.find(row.expected)) << "row " << row.row << r.output;
        EXPECT_EQ(std::string::npos, r.output.find(row.absent)) << "row " << row.row << r.output;
        EXPECT_EQ(static_cast<size_t>(row.left), Table().shares.size()) << "row " << row.row;
        EXPECT_EQ(row.summaryLine, r.output.find("\tNetwork shares deleted") != std::string::npos)
            << "row " << row.row;
        // the refused share is not saved; the other is, as Share000
        if (row.refuse) {
            EXPECT_EQ(Bin(Wide("GO")), Value("Share000", "name")) << "row " << row.row;
            EXPECT_FALSE(SubkeyExists("Share001")) << "row " << row.row;
        }
    }
}

TEST_F(SharesNt, NoDiskShareFoundIsSaid) {
    ShareTable t;
    t.shares.push_back(Share(0x80000003, "IPC$", nullptr, "Remote IPC"));
    SetTable(t);
    ProcessResult r = Run("-s -noc");
    EXPECT_NE(std::string::npos, r.output.find("\r\nDisabling all open shares\r\n\r\nNo open shares found\r\n"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 0\r\n")) << r.output;
}

// A server that hands the list out in pieces is asked again from where it
// stopped, under a new heading each time.
TEST_F(SharesNt, APagedEnumerationIsFollowedToItsEnd) {
    ShareTable t;
    for (const char* n : {"P1", "P2", "P3"}) t.shares.push_back(Share(0, n, "C:\\p", "r"));
    t.enumPage = 2;
    SetTable(t);
    ProcessResult r = Run("-s", "n\r\nn\r\nn\r\n");
    EXPECT_EQ(2u, CountOf(r.output, "\r\nDisabling all open shares\r\n\r\n")) << r.output;
    for (const char* n : {"P1", "P2", "P3"})
        EXPECT_NE(std::string::npos, r.output.find(std::string("Do you want to remove share ") + n + "?")) << n;
    EXPECT_EQ(3u, Table().shares.size());
}

// At 1000 saved records saving stops for the life of the process; the
// shares after that cannot be saved, and stay.
TEST_F(SharesNt, SavingStopsAtOneThousandRecordsAndTheRestStay) {
    ShareTable t;
    for (int i = 0; i < 1002; ++i) t.shares.push_back(Share(0, "S" + std::to_string(i), "C:\\s", nullptr));
    SetTable(t);
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 1000\r\n"));
    EXPECT_NE(std::string::npos,
              r.output.find("Removing share S1001\r\nCould not store share in registry\r\n"))
        << r.output.substr(r.output.size() > 2000 ? r.output.size() - 2000 : 0);
    EXPECT_EQ((std::vector<std::string>{"S1000", "S1001"}), NamesOf(Table()));
    EXPECT_EQ(Bin(Wide("S0")), Value("Share000", "name"));
    EXPECT_EQ(Bin(Wide("S999")), Value("Share999", "name"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSaved, 0, KEY_READ, &key));
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(1000u, subkeys);
}

// Without netapi32.dll the share work says so and touches nothing.
TEST_F(SharesNt, WithoutTheNetworkLibraryNothingIsRemovedOrRestored) {
    SetTable(EveryType());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kOverrideKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegSetValueExA(key, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.output.find("Could not load library netapi32.dll\r\nCould not remove the open shares\r\n"))
        << r.output;
    EXPECT_EQ(7u, Table().shares.size());
    r = Run("-rs");
    EXPECT_NE(std::string::npos,
              r.output.find("Could not load library netapi32.dll\r\nCould not restore shares\r\n"))
        << r.output;
}

TEST_F(SharesNt, RestorationCreatesKeepsAndDeletesRecordsAcrossGaps) {
    ShareTable t;
    t.shares.push_back(Share(0, "THERE", "C:\\there", "already"));
    t.refuseAdd.push_back("BROKEN");
    SetTable(t);
    Record docs;
    docs.name = Wide("DOCS");
    docs.path = Wide("C:\\docs");
    docs.remark = Wide("papers");
    docs.permissions = 3;
    docs.maxUses = 4;
    docs.hasFull = true;
    docs.full = Wide("pw");
    WriteRecord("Share000", docs);
    Record admin;
    admin.name = Wide("admin$");
    admin.type = 0x80000000;
    admin.path = Wide("C:\\windows");
    admin.remark = Wide("Remote Admin");
    WriteRecord("Share005", admin);
    Record there;
    there.name = Wide("THERE");
    there.path = Wide("C:\\elsewhere");
    WriteRecord("Share007", there);
    Record broken;
    broken.name = Wide("BROKEN");
    broken.path = Wide("C:\\broken");
    WriteRecord("Share009", broken);
    Record pathless;
    pathless.name = Wide("NOPATH");
    pathless.hasPath = false;
    WriteRecord("Share999", pathless);

    ProcessResult r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(0u,
              r.output.find("\r\nRestoring share DOCS (path C:\\docs)\r\n"
                            "Restoring share admin$ (path C:\\windows)\r\n"
                            "Restoring share THERE (path C:\\elsewhere)\r\n"
                            "Share \"THERE\" already exists\r\n\r\n"
                            "Restoring share BROKEN (path C:\\broken)\r\n"
                            "Could not create share \"BROKEN\"\r\n\r\n"
                            "\r\n2 shares restored\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("NOPATH"));
    ShareTable after = Table();
    EXPECT_EQ((std::vector<std::string>{"THERE", "DOCS", "admin$"}), NamesOf(after));
    const TableShare& d = after.shares[1];
    EXPECT_EQ("C:\\docs", d.path);
    EXPECT_EQ("papers", d.remark);
    EXPECT_EQ(3u, d.permissions);
    EXPECT_EQ(4u, d.maxUses);
    EXPECT_EQ("pw", d.password);
    EXPECT_FALSE(after.shares[2].hasPath) << "ADMIN$ in any case is created without a path";
    EXPECT_EQ("C:\\there", after.shares[0].path) << "an existing share is left as it is";
    EXPECT_FALSE(SubkeyExists("Share000"));
    EXPECT_FALSE(SubkeyExists("Share005"));
    EXPECT_FALSE(SubkeyExists("Share007")) << "an existing share's record goes all the same";
    EXPECT_TRUE(SubkeyExists("Share009")) << "an uncreatable share's record stays for a later try";
    EXPECT_TRUE(SubkeyExists("Share999")) << "an unreadable record stays";
}

TEST_F(SharesNt, RestorationWithoutRecordsOrWithNoneCreatable) {
    ProcessResult r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("\r\nNo shares to restore\r\n")) << r.output;

    ShareTable t;
    t.refuseAdd.push_back("BROKEN");
    SetTable(t);
    Record broken;
    broken.name = Wide("BROKEN");
    broken.path = Wide("C:\\broken");
    WriteRecord("Share003", broken);
    r = Run("-rs");
    EXPECT_NE(std::string::npos, r.output.find("Could not create share \"BROKEN\"\r\n\r\n\r\n0 shares restored\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Restoring share BROKEN (path C:\\broken)\r\n\r\n\r\n"))
        << "the blank line comes before the first record only when it is Share000";
}

// A report-only run with -s removes no share and writes no record, not even
// the parent key; one with -rs creates no share and keeps every record. Each
// says what it would do, and its run report lists each share as would-do.
TEST_F(SharesNt, ReportOnlyRemovesSavesAndRestoresNothing) {
    SetTable(EveryType());
    std::string json = folder + "\\remove.json";
    ProcessResult r = Run("-s -reportonly -json=" + json);
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos,
              r.output.find("\r\nDisabling all open shares\r\n\r\n"
                            "Would remove share DOCS\r\nWould remove share C$\r\n"
                            "Would remove share ADMIN$\r\nWould remove share BARE\r\n"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Do you want")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Removing share")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 0\r\n")) << r.output;
    EXPECT_EQ(7u, Table().shares.size());
    EXPECT_FALSE(SubkeyExists("")) << "nothing is saved, so the key is not created";
    std::string report = ReadWholeFile(json);
    EXPECT_EQ(4u, CountOf(report, "\"outcome\": \"wouldDo\"")) << report;
    EXPECT_EQ(4u, CountOf(report, "\"kind\": \"share\"")) << report;

    ShareTable t;
    t.shares.push_back(Share(0, "OTHER", "C:\\other", "r"));
    SetTable(t);
    Record docs;
    docs.name = Wide("DOCS");
    docs.path = Wide("C:\\docs");
    WriteRecord("Share000", docs);
    Record admin;
    admin.name = Wide("admin$");
    admin.type = 0x80000000;
    admin.path = Wide("C:\\windows");
    WriteRecord("Share005", admin);
    r = Run("-rs -reportonly");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(0u,
              r.output.find("\r\nWould restore share DOCS (path C:\\docs)\r\n"
                            "Would restore share admin$ (path C:\\windows)\r\n"
                            "\r\n0 shares restored\r\n"))
        << r.output;
    EXPECT_EQ(std::vector<std::string>{"OTHER"}, NamesOf(Table()));
    EXPECT_TRUE(SubkeyExists("Share000"));
    EXPECT_TRUE(SubkeyExists("Share005"));
    EXPECT_EQ(Bin(Wide("DOCS")), Value("Share000", "name"));
}

// Each item of a run report as "subject matched action outcome error".
std::vector<std::string> ReportItems(const std::string& path) {
    std::vector<std::string> lines;
    nlohmann::json report = nlohmann::json::parse(ReadWholeFile(path), nullptr, false);
    if (!report.is_object() || !report["items"].is_array()) return {"no report"};
    for (const nlohmann::json& item : report["items"])
        lines.push_back(item["subject"].get<std::string>() + " " + item["matched"].get<std::string>() + " " +
                        item["action"].get<std::string>() + " " + item["outcome"].get<std::string>() + " " +
                        std::to_string(item["error"].get<unsigned>()));
    return lines;
}

// The run report names every share a removal or restoration dealt with and
// what became of it, with the server's code for a failure.
TEST_F(SharesNt, RunReportNamesEachShareAndWhatBecameOfIt) {
    ShareTable t;
    for (const char* n : {"ONE", "TWO", "KEEP"}) t.shares.push_back(Share(0, n, "C:\\x", "r"));
    t.refuseDelete.push_back("KEEP");
    SetTable(t);
    std::string json = folder + "\\remove.json";
    ASSERT_EQ(0u, Run("-s -json=" + json, "y\r\nn\r\ny\r\n").exitCode);
    EXPECT_EQ((std::vector<std::string>{"ONE removeShares remove done 0", "TWO removeShares remove declined 0",
                                        "KEEP removeShares remove failed 5"}),
              ReportItems(json));

    t.shares.assign(1, Share(0, "THERE", "C:\\there", "r"));
    t.refuseDelete.clear();
    t.refuseAdd.push_back("BROKEN");
    SetTable(t);
    Record there;
    there.name = Wide("THERE");
    there.path = Wide("C:\\there");
    WriteRecord("Share003", there);
    Record broken;
    broken.name = Wide("BROKEN");
    broken.path = Wide("C:\\broken");
    WriteRecord("Share004", broken);
    json = folder + "\\restore.json";
    ASSERT_EQ(0u, Run("-rs -json=" + json).exitCode);
    EXPECT_EQ((std::vector<std::string>{"ONE SOFTWARE\\Mendrix\\Share000 restore done 0",
                                        "THERE SOFTWARE\\Mendrix\\Share003 restore failed 2118",
                                        "BROKEN SOFTWARE\\Mendrix\\Share004 restore failed 87"}),
              ReportItems(json));
}

// The same on the 9x family: Wine reports Windows 98 to the console program,
// which then loads svrapi.dll from the system folder.
class Shares9x : public SharesNt {
protected:
    void SetUp() override {
        SharesNt::SetUp();
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
        RegCloseKey(key);
        SetOverride("svrapi", "native,builtin");
    }
    static void SetOverride(const char* library, const char* order) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kOverrideKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       static_cast<DWORD>(strlen(order) + 1));
        RegCloseKey(key);
    }
    // A 9x machine: disk, printer, device and IPC shares.
    static ShareTable EveryType() {
        ShareTable t;
        t.shares.push_back(Share(0, "DOCS", "C:\\docs", "papers"));
        t.shares.push_back(Share(1, "LASER", "LPT1:", "printer"));
        t.shares.push_back(Share(2, "COMM", "COM1:", nullptr));
        t.shares.push_back(Share(3, "IPC$", nullptr, "Remote IPC"));
        t.shares.push_back(Share(0, "BARE", "C:\\bare", nullptr));
        return t;
    }
};

TEST_F(Shares9x, OnlyDiskSharesAreRemovedAndSavedWithTheirPasswords) {
    ShareTable t = EveryType();
    t.shares[0].flags = 0x0191;
    t.shares[0].readOnlyPassword = "ropw";
    t.shares[0].fullPassword = "rwpw";
    SetTable(t);
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos,
              r.output.find("\r\nDisabling the open shares\r\n\r\nShare DOCS successfuly removed\r\n"
                            "Share BARE successfuly removed\r\n"))
        << "removing is said only when verbose\r\n"
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 2\r\n")) << r.output;
    EXPECT_EQ((std::vector<std::string>{"LASER", "COMM", "IPC$"}), NamesOf(Table()));

    EXPECT_EQ(Bin(Narrow("DOCS")), Value("Share000", "name"));
    EXPECT_EQ(Dw(0), Value("Share000", "type"));
    EXPECT_EQ(Dw(0x0191), Value("Share000", "flags"));
    EXPECT_EQ(Dw(0), Value("Share000", "permissions"));
    EXPECT_EQ(Dw(0), Value("Share000", "max_uses"));
    EXPECT_EQ(Bin(Narrow("papers")), Value("Share000", "remark"));
    EXPECT_EQ(Bin(Narrow("C:\\docs")), Value("Share000", "path"));
    EXPECT_EQ(Bin(Narrow("ropw")), Value("Share000", "passwordro"));
    EXPECT_EQ(Bin(Narrow("rwpw")), Value("Share000", "passwordrw"));
    EXPECT_EQ(Bin(Narrow("BARE")), Value("Share001", "name"));
    EXPECT_EQ(Bin(""), Value("Share001", "remark"));
    EXPECT_EQ(Bin(Narrow("")), Value("Share001", "passwordro")) << "9x passwords are always saved";
    EXPECT_FALSE(SubkeyExists("Share002"));

    // verbose runs say which share is being removed
    SetTable(EveryType());
    r = Run("-s -noc -v");
    EXPECT_NE(std::string::npos, r.output.find("Removing share DOCS\r\nShare DOCS successfuly removed\r\n"))
        << r.output;
}

// On the 9x family too a report-only run asks nothing, removes and saves
// nothing, and names only the disk shares.
TEST_F(Shares9x, ReportOnlyRemovesAndSavesNothing) {
    SetTable(EveryType());
    ProcessResult r = Run("-s -reportonly");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos,
              r.output.find("\r\nDisabling the open shares\r\n\r\nWould remove share DOCS\r\nWould remove share BARE\r\n"))
        << r.output;
    EXPECT_EQ(2u, CountOf(r.output, "Would ")) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("Do you want")) << r.output;
    EXPECT_EQ(5u, Table().shares.size());
    EXPECT_FALSE(SubkeyExists(""));
}

TEST_F(Shares9x, EachDiskShareIsAskedAbout) {
    SetTable(EveryType());
    ProcessResult r = Run("-s", "n\r\ny\r\n");
    EXPECT_NE(std::string::npos, r.output.find("\r\nDo you want to remove share DOCS? [y]es, [n]o: ")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("\r\nDo you want to remove share BARE? [y]es, [n]o: ")) << r.output;
    EXPECT_EQ(2u, CountOf(r.output, "Do you want to remove share "));
    EXPECT_EQ((std::vector<std::string>{"DOCS", "LASER", "COMM", "IPC$"}), NamesOf(Table()));
    EXPECT_EQ(Bin(Narrow("BARE")), Value("Share000", "name"));
    EXPECT_FALSE(SubkeyExists("Share001"));
}

TEST_F(Shares9x, RestoredPathsAreUpperCaseAndLongNamesAreRefused) {
    ShareTable t;
    t.shares.push_back(Share(0, "THERE", "C:\\THERE", nullptr));
    SetTable(t);
    Record docs;
    docs.name = Narrow("Docs");
    docs.path = Narrow("c:\\my docs");
    docs.remark = Narrow("papers");
    docs.flags = 0x10191;
    docs.type = 0x100;
    docs.hasReadOnly = docs.hasFull = true;
    docs.readOnly = Narrow("ro");
    docs.full = Narrow("rw");
    WriteRecord("Share000", docs);
    Record there;
    there.name = Narrow("THERE");
    there.path = Narrow("c:\\there");
    WriteRecord("Share001", there);
    Record longName;
    longName.name = Narrow("THIRTEENCHARS");
    longName.path = Narrow("c:\\long");
    WriteRecord("Share002", longName);
    Record longPassword;
    longPassword.name = Narrow("LOCKED");
    longPassword.path = Narrow("c:\\locked");
    longPassword.hasFull = true;
    longPassword.full = Narrow("ninechars");
    WriteRecord("Share004", longPassword);

    ProcessResult r = Run("-rs");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(0u,
              r.output.find("\r\nRestoring share Docs (path c:\\my docs)\r\n"
                            "Restoring share THERE (path c:\\there)\r\n"
                            "Share \"THERE\" already exists\r\n\r\n"
                            "Restoring share THIRTEENCHARS (path c:\\long)\r\n"
                            "Could not create share \"THIRTEENCHARS\"\r\n\r\n"
                            "Restoring share LOCKED (path c:\\locked)\r\n"
                            "Could not create share \"LOCKED\"\r\n\r\n"
                            "\r\n1 shares restored\r\n"))
        << r.output;
    ShareTable after = Table();
    ASSERT_EQ((std::vector<std::string>{"THERE", "Docs"}), NamesOf(after));
    const TableShare& d = after.shares[1];
    EXPECT_EQ("C:\\MY DOCS", d.path);
    EXPECT_EQ("papers", d.remark);
    EXPECT_EQ(0x0191u, d.flags) << "the low 16 bits of the flags";
    EXPECT_EQ(0u, d.type) << "the low 8 bits of the type";
    EXPECT_EQ("ro", d.readOnlyPassword);
    EXPECT_EQ("rw", d.fullPassword);
    EXPECT_FALSE(SubkeyExists("Share000"));
    EXPECT_FALSE(SubkeyExists("Share001"));
    EXPECT_TRUE(SubkeyExists("Share002"));
    EXPECT_TRUE(SubkeyExists("Share004"));
}

TEST_F(Shares9x, OneEnumerationOnlyEvenWhenTheServerHasMore) {
    ShareTable t;
    for (const char* n : {"P1", "P2", "P3"}) t.shares.push_back(Share(0, n, "C:\\p", "r"));
    t.enumPage = 2;
    SetTable(t);
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(1u, CountOf(r.output, "\r\nDisabling the open shares\r\n\r\n")) << r.output;
    EXPECT_EQ(std::vector<std::string>{"P3"}, NamesOf(Table()));
    EXPECT_NE(std::string::npos, r.output.find("\tNetwork shares deleted              : 2\r\n")) << r.output;
}

TEST_F(Shares9x, WithoutTheServerLibraryNothingIsRemovedOrRestored) {
    SetTable(EveryType());
    SetOverride("svrapi", "");  // as on a machine without the library
    ProcessResult r = Run("-s -noc");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.output.find("Could not load library svrapi.dll\r\nCould not remove the open shares\r\n"))
        << r.output;
    EXPECT_EQ(5u, Table().shares.size());
    r = Run("-rs");
    EXPECT_NE(std::string::npos, r.output.find("Could not load library svrapi.dll\r\nCould not restore shares\r\n"))
        << r.output;
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
