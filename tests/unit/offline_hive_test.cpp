// The offline registry over hive files: an installation's hives made from
// the empty hive and filled through the hive library, read and changed
// through the registry calls, written back once, and hostile files refused
// without a byte of them changed.
#include <gtest/gtest.h>
#include <hivex.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "offline/empty_hive.h"
#include "offline/hive_registry.h"

namespace {

const uint32_t kHKCR = 0x80000000u, kHKCU = 0x80000001u, kHKLM = 0x80000002u, kHKU = 0x80000003u;

std::string ReadAll(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<none>";
    for (int c; (c = fgetc(f)) != EOF;) bytes.push_back(static_cast<char>(c));
    fclose(f);
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Adds the keys of "A\B\C" that are missing, and answers the last.
hive_node_h MakeKey(hive_h* h, const std::string& path) {
    hive_node_h node = hivex_root(h);
    size_t at = 0;
    while (at < path.size()) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos) end = path.size();
        std::string name = path.substr(at, end - at);
        hive_node_h child = hivex_node_get_child(h, node, name.c_str());
        node = child ? child : hivex_node_add_child(h, node, name.c_str());
        at = end + 1;
    }
    return node;
}

void SetText(hive_h* h, hive_node_h node, const char* name, const std::string& ascii) {
    std::string wide;
    for (char c : ascii + '\0') wide += std::string(1, c) + '\0';
    hive_set_value v = {const_cast<char*>(name), hive_t_REG_SZ, wide.size(), &wide[0]};
    ASSERT_EQ(hivex_node_set_value(h, node, &v, 0), 0);
}

void SetDword(hive_h* h, hive_node_h node, const char* name, uint32_t n) {
    char data[4] = {static_cast<char>(n), static_cast<char>(n >> 8), 0, 0};
    hive_set_value v = {const_cast<char*>(name), hive_t_REG_DWORD, 4, data};
    ASSERT_EQ(hivex_node_set_value(h, node, &v, 0), 0);
}

class OfflineHives : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mendrix-hives-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override {
        CloseHives();
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    // Makes a hive file from the empty hive, filled by fill.
    template <typename Fill>
    std::string MakeHive(const char* name, Fill fill) {
        std::string path = dir_ + "/" + name;
        WriteAll(path, EmptyHiveBytes(name));
        hive_h* h = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
        EXPECT_TRUE(h);
        fill(h);
        EXPECT_EQ(hivex_commit(h, path.c_str(), 0), 0);
        hivex_close(h);
        return path;
    }
    HiveFile* Open(const std::string& path) {
        std::string problem;
        HiveFile* hive = OpenHiveFile(path, "C:\\WINDOWS\\system32\\config\\x", &problem);
        EXPECT_TRUE(hive) << problem;
        return hive;
    }
    std::string dir_;
};

std::string QueryText(uint32_t root, const char* path, const char* name) {
    const RegistryCalls* calls = HiveRegistryCalls();
    RegistryKey key;
    if (calls->openKey(root, path, &key) != REGISTRY_OK) return "<no key>";
    char data[256];
    uint32_t type = 0, size = sizeof data;
    int32_t result = calls->queryValue(key, name, &type, reinterpret_cast<uint8_t*>(data), &size);
    calls->closeKey(key);
    if (result != REGISTRY_OK) return "<no value>";
    return std::string(data, size);
}

TEST_F(OfflineHives, ReadsChangesAndWritesBackTheInstallationsHives) {
    std::string software = MakeHive("SOFTWARE", [](hive_h* h) {
        hive_node_h run = MakeKey(h, "Microsoft\\Windows\\CurrentVersion\\Run");
        SetText(h, run, "Evil", "c:\\evil.exe");
        SetText(h, run, "Good", "c:\\good.exe");
        SetText(h, MakeKey(h, "Classes\\.evl"), "", "evlfile");
    });
    std::string system = MakeHive("SYSTEM", [](hive_h* h) {
        SetDword(h, MakeKey(h, "Select"), "Current", 2);
        MakeKey(h, "ControlSet001\\Services\\Evil");
        MakeKey(h, "ControlSet002\\Services\\Evil\\Enum");
    });
    std::string user = MakeHive("NTUSER.DAT", [](hive_h* h) {
        SetText(h, MakeKey(h, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"), "evil", "x");
    });
    std::string untouched = ReadAll(user);
    SetMachineHives(Open(software), Open(system));
    AddUserHive("S-1-5-21-1-2-3-1000", "C:\\Users\\ann", Open(user));
    SetCurrentProfile(OfflineProfiles());
    EXPECT_STREQ(CurrentControlSetName(), "ControlSet002");

    const RegistryCalls* calls = HiveRegistryCalls();
    EXPECT_EQ(QueryText(kHKLM, "software\\MICROSOFT\\windows\\CurrentVersion\\Run", "evil"), std::string("c:\\evil.exe\0", 12));
    EXPECT_EQ(QueryText(kHKCR, ".EVL", ""), std::string("evlfile\0", 8));
    EXPECT_EQ(QueryText(kHKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Evil"), std::string("x\0", 2));
    EXPECT_EQ(QueryText(kHKU, "s-1-5-21-1-2-3-1000\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Evil"),
              std::string("x\0", 2));
    EXPECT_EQ(QueryText(kHKLM, "SAM\\x", "y"), "<no key>");

    RegistryKey run;
    ASSERT_EQ(calls->openKey(kHKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", &run), REGISTRY_OK);
    char name[8];
    uint32_t size = sizeof name;
    EXPECT_EQ(calls->enumValueName(run, 0, name, &size), REGISTRY_OK);
    EXPECT_STREQ(name, "Evil");
    size = 4;  // "Good" and its ending need 5
    EXPECT_EQ(calls->enumValueName(run, 1, name, &size), REGISTRY_MORE_DATA);
    size = sizeof name;
    EXPECT_EQ(calls->enumValueName(run, 2, name, &size), 259);
    uint32_t type, length = 0;
    EXPECT_EQ(calls->queryValue(run, "good", &type, nullptr, &length), REGISTRY_OK);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(calls->deleteValue(run, "EVIL"), REGISTRY_OK);
    EXPECT_EQ(calls->deleteValue(run, "EVIL"), REGISTRY_NOT_FOUND);
    const char kReset[] = "c:\\ok.exe";
    EXPECT_EQ(calls->setValue(run, "GOOD", REGISTRY_TEXT, reinterpret_cast<const uint8_t*>(kReset), sizeof kReset), REGISTRY_OK);
    calls->closeKey(run);
    // The NT family deletes no key with subkeys; the current control set is
    // the one Select names.
    EXPECT_EQ(calls->deleteKey(kHKLM, "SYSTEM\\CurrentControlSet\\Services\\Evil"), 5);
    EXPECT_EQ(calls->deleteKey(kHKLM, "SYSTEM\\CurrentControlSet\\Services\\Evil\\enum"), REGISTRY_OK);
    EXPECT_EQ(calls->deleteKey(kHKLM, "SYSTEM\\CurrentControlSet\\Services\\Evil"), REGISTRY_OK);
    EXPECT_EQ(calls->deleteKey(kHKLM, "SYSTEM"), 5);

    std::vector<std::string> saved;
    static std::vector<std::string>* s_saved;
    s_saved = &saved;
    int failed = CommitHives([](const std::string& path, const std::string&) {
        s_saved->push_back(ReadAll(path));
        return true;
    }, [](const std::string& line) { ADD_FAILURE() << line; });
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(saved.size(), 2u);          // the user hive was not changed
    EXPECT_EQ(ReadAll(user), untouched);  // nor written
    CloseHives();

    hive_h* h = hivex_open(software.c_str(), 0);
    ASSERT_TRUE(h);
    hive_node_h node = MakeKey(h, "Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(hivex_node_get_value(h, node, "Evil"), 0u);
    char* text = hivex_value_string(h, hivex_node_get_value(h, node, "Good"));
    EXPECT_STREQ(text, "c:\\ok.exe");
    free(text);
    hivex_close(h);
    h = hivex_open(system.c_str(), 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(hivex_node_get_child(h, MakeKey(h, "ControlSet002\\Services"), "Evil"), 0u);
    EXPECT_NE(hivex_node_get_child(h, MakeKey(h, "ControlSet001\\Services"), "Evil"), 0u);
    hivex_close(h);
    std::string listing;
    FILE* ls = popen(("ls " + dir_).c_str(), "r");
    for (int c; (c = fgetc(ls)) != EOF;) listing.push_back(static_cast<char>(c));
    pclose(ls);
    EXPECT_EQ(listing, "NTUSER.DAT\nSOFTWARE\nSYSTEM\n");  // nothing left beside them
}

TEST_F(OfflineHives, HostileFilesAreRefusedAndKept) {
    std::string whole = ReadAll(MakeHive("FULL", [](hive_h* h) {
        for (int i = 0; i < 300; ++i) SetText(h, MakeKey(h, "Key" + std::to_string(i)), "v", std::string(40, 'x'));
    }));
    ASSERT_GT(whole.size(), 16384u);
    struct Row {
        int row;
        const char* name;
        std::string bytes;
        const char* problem;
    };
    const Row rows[] = {
        {1, "text", "[HKEY_LOCAL_MACHINE]\r\n", "it is not a registry hive, or it is damaged"},
        {2, "cut", whole.substr(0, whole.size() / 2), "it is not a registry hive, or it is damaged"},
        {3, "empty", "", "it is not a registry hive, or it is damaged"},
        {4, "sum", std::string(whole).replace(0x1FC, 1, "\x55"), "it is not a registry hive, or it is damaged"},
    };
    for (const Row& r : rows) {
        std::string path = dir_ + "/" + r.name;
        WriteAll(path, r.bytes);
        std::string problem;
        EXPECT_FALSE(OpenHiveFile(path, "C:\\x", &problem)) << "row " << r.row;
        EXPECT_EQ(problem, r.problem) << "row " << r.row;
        EXPECT_EQ(ReadAll(path), r.bytes) << "row " << r.row;
    }
    ASSERT_EQ(symlink((dir_ + "/text").c_str(), (dir_ + "/link").c_str()), 0);
    std::string problem;
    EXPECT_FALSE(OpenHiveFile(dir_ + "/link", "C:\\x", &problem));
    EXPECT_EQ(problem, "it is not a file");
}

}  // namespace
