// The undo journal against what a limited user or a crash can do to it:
// journals planted by another account are refused by -undo, -undo=<folder>
// and -undo=list, and the program's own is restored; an item whose saved
// copy is named outside its folder, or whose registry root is no
// predefined key, is damaged; items a cut-off run left in doubt come back
// only where their change happened; untrusted folders of the journal are
// moved aside, and its folders and files are made for administrators only;
// runs killed at random moments lose nothing; deep registry keys are saved
// to the registry's own limit without a crash.
//
// Wine reports a host file's owner from its Unix owner, and keeps neither
// the owners nor the access lists a program sets: a planted journal is one
// whose host file belongs to another Unix user, and the access list the
// journal is made with is checked as the calls that make it receive it.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "script/undo_saving.h"
#include "support/machine_snapshot_win.h"
#include "support/unix_link_win.h"
#include "support/wine_support.h"
#include "undo/journal.h"
#include "undo/journal_log.h"
#include "undo/journal_place_win.h"
#include "undo/journal_trust.h"
#include "undo/system_state_win.h"
#include "undo/undo_run.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kUndoRoot[] = "C:\\Mendrix\\Undo";
const char kKey[] = "Software\\MendrixUndoSafety";
const uint32_t kHkcu = 0x80000001u;

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"Mx.Safety\" Type=\"Trojan\"><IDENTITY GenericName=\"MxEvil\">" + body +
           "</IDENTITY></CLEANER>";
}

// Every folder the journal's root was moved aside to, and the root itself.
void RemoveJournals() {
    RemoveFolderTree(kUndoRoot);
    for (int n = 1; n < 5; ++n)
        RemoveFolderTree(std::string(kUndoRoot) + ".untrusted" + (n > 1 ? "-" + std::to_string(n) : ""));
}

class UndoSafety : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        log = folder + "\\run.log";
        dat = folder + "\\run.dat";
        RemoveJournals();
        DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    }
    void TearDown() override {
        RemoveJournals();
        DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    }
    ProcessResult Run(const std::string& options) {
        return RunProgram(std::string(kCli) + " -noc -lf=" + log + " " + options);
    }
    ProcessResult Scan(const std::string& body) {
        EXPECT_TRUE(BuildDataFile(Script(body), dat));
        return Run("-df=" + dat);
    }
    std::string Disk(const std::string& files) {
        return "<DISK><DIRECTORY>" + folder + "</DIRECTORY>" + files + "</DISK>";
    }
    // A journal folder under the root written by the test, with the text as
    // its manifest.
    std::string Plant(const std::string& name, const std::string& manifest) {
        std::string journal = std::string(kUndoRoot) + "\\" + name;
        CreateDirectoryA("C:\\Mendrix", nullptr);
        CreateDirectoryA(kUndoRoot, nullptr);
        EXPECT_TRUE(CreateDirectoryA(journal.c_str(), nullptr)) << journal;
        EXPECT_TRUE(WriteWholeFile(journal + "\\manifest.json", manifest));
        return journal;
    }
    std::string folder, log, dat;
};

std::vector<std::string> Journals() { return NamesIn(kUndoRoot); }

UndoItem* ValueItem(const std::string& key, const std::string& name, const std::string& data) {
    UndoItem* item = NewUndoItem(UNDO_REGISTRY_VALUE, UNDO_DELETE, key);
    item->root = kHkcu;
    item->name = name;
    item->type = REG_SZ;
    item->data = Sz(data);
    return item;
}

UndoItem* FileItem(const std::string& path, const std::string& bytes) {
    UndoItem* item = NewUndoItem(UNDO_FILE, UNDO_DELETE, path);
    item->hasCopy = true;
    item->copy = bytes;
    item->size = bytes.size();
    item->attributes = FILE_ATTRIBUTE_ARCHIVE;
    return item;
}

// A journal that would write a file and a value if it were carried out.
void FillPlanted(Journal* journal, const std::string& folder) {
    journal->version = UNDO_FORMAT_VERSION;
    journal->created = "2099-12-31 23:59:59";
    journal->dataFile = "(built in)";
    AddUndoItem(journal, FileItem(folder + "\\PWNED.EXE", "MZ planted"));
    AddUndoItem(journal, ValueItem(kKey, "Run", "C:\\pwned.exe"));
}

TEST_F(UndoSafety, PlantedJournalsAreRefusedAndTheProgramsOwnRestored) {
    ASSERT_TRUE(WriteWholeFile(folder + "\\A.EXE", "first"));
    ASSERT_EQ(0u, Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>")).exitCode);
    std::vector<std::string> own = Journals();
    ASSERT_EQ(1u, own.size());

    Journal planted = {};
    FillPlanted(&planted, folder);
    // A later journal in a folder of another account, and one of ours whose
    // manifest (of version 1) another account wrote.
    std::string laterFolder = Plant("99991231-235959", LogText(planted));
    std::string laterManifest = Plant("99991230-000000", ManifestText(planted));
    FreeJournalItems(&planted);
    ASSERT_TRUE(GiveToAnotherUnixUser(laterFolder));
    ASSERT_TRUE(GiveToAnotherUnixUser(laterManifest + "\\manifest.json"));
    const std::string folderWhy = "its folder belongs to another account (S-1-5-7)";
    const std::string manifestWhy = "its manifest belongs to another account (S-1-5-7)";

    ProcessResult r = Run("-undo=99991231-235959");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_EQ(1u, CountOf(r.output, "Cannot restore " + laterFolder + ": " + folderWhy + "\r\n")) << r.output;
    r = Run("-undo=" + laterManifest);
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_EQ(1u, CountOf(r.output, "Cannot restore " + laterManifest + ": " + manifestWhy + "\r\n")) << r.output;
    r = Run("-undo=list");
    EXPECT_EQ(0u, r.exitCode);
    for (const std::string& line : {"99991231-235959  (refused: " + folderWhy + ")\r\n",
                                    "99991230-000000  (refused: " + manifestWhy + ")\r\n", own[0] + "  "})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;

    // The latest of the program's own journals is restored past them.
    r = Run("-undo");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    for (const std::string& line :
         {"Passed over " + laterFolder + ": " + folderWhy + "\r\n",
          "Passed over " + laterManifest + ": " + manifestWhy + "\r\n", "Restored file " + folder + "\\A.EXE\r\n",
          std::string("1 restored, 0 not restored\r\n")})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;
    EXPECT_EQ("first", ReadWholeFile(folder + "\\A.EXE"));
    // Nothing the planted journals name was written.
    EXPECT_FALSE(FileExists(folder + "\\PWNED.EXE"));
    EXPECT_TRUE(RegistryShotOf(HKEY_CURRENT_USER, kKey).empty());
}

// A journal the program wrote before its journal became a log (version 1,
// one JSON document) is listed and restored as before, and marked restored
// in its own version.
TEST_F(UndoSafety, VersionOneJournalsAreStillListedAndRestored) {
    std::string bytes = "MZ" + std::string(3000, 'v');
    Journal journal = {};
    journal.version = UNDO_FORMAT_VERSION_1;
    journal.created = "2001-01-01 00:00:00";
    journal.dataFile = "C:\\old.dat";
    UndoItem* file = FileItem(folder + "\\OLD.EXE", "");
    file->hasCopy = false;
    file->saved = "0001.sav";
    file->size = bytes.size();
    AddUndoItem(&journal, file);
    AddUndoItem(&journal, ValueItem(kKey, "old", "was here"));
    std::string planted = Plant("20010101-000000", ManifestText(journal));
    FreeJournalItems(&journal);
    std::string scrambled = bytes;
    uint8_t key = UNDO_SCRAMBLE_START;
    ScrambleBytes(&scrambled[0], scrambled.size(), &key);
    ASSERT_TRUE(WriteWholeFile(planted + "\\0001.sav", scrambled));

    ProcessResult r = Run("-undo=list");
    EXPECT_EQ(1u, CountOf(r.output, "20010101-000000  2001-01-01 00:00:00  C:\\old.dat  1 file, 1 registry value, "
                                    "0 registry keys, 0 INI entries, 0 services\r\n"))
        << r.output;
    r = Run("-undo");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(1u, CountOf(r.output, "2 restored, 0 not restored\r\n")) << r.output;
    EXPECT_EQ(bytes, ReadWholeFile(folder + "\\OLD.EXE"));
    EXPECT_EQ(1u, RegistryShotOf(HKEY_CURRENT_USER, kKey).count("@old"));
    Journal marked = {};
    std::string problem;
    ASSERT_TRUE(ParseManifestVersion1(ReadWholeFile(planted + "\\manifest.json"), &marked, &problem)) << problem;
    EXPECT_NE("", marked.restored);
    FreeJournalItems(&marked);
}

// Saved copies named outside their folder and roots that are no predefined
// key are damaged items; items in doubt come back only where their change
// was made.
TEST_F(UndoSafety, DamagedNamesAndItemsInDoubt) {
    // What a name leading out of the folder would copy in.
    std::string outside = "C:\\Mendrix\\x.sav";
    CreateDirectoryA("C:\\Mendrix", nullptr);
    ASSERT_TRUE(WriteWholeFile(outside, std::string(4000, 'x')));
    SetRegistryValue(HKEY_CURRENT_USER, kKey, "stay", REG_SZ, Sz("still here"));
    Journal journal = {};
    journal.version = UNDO_FORMAT_VERSION;
    journal.created = "2000-01-01 00:00:00";
    journal.dataFile = "(built in)";
    const char* const kOutside[] = {"..\\..\\x.sav", "C:\\Mendrix\\x.sav", "0001.sav\\..\\..\\..\\x.sav"};
    for (int n = 0; n < 3; ++n) {
        UndoItem* item = FileItem(folder + "\\OUT" + std::to_string(n) + ".EXE", "");
        item->hasCopy = false;
        item->saved = kOutside[n];
        item->size = 4000;
        AddUndoItem(&journal, item);
    }
    UndoItem* rootless = ValueItem(kKey, "rootless", "x");
    rootless->root = 5;
    AddUndoItem(&journal, rootless);
    AddUndoItem(&journal, ValueItem(kKey, "stay", "still here"));
    AddUndoItem(&journal, ValueItem(kKey, "gone", "deleted before the cut"));
    // The two values' changes have no record of being made.
    std::string text = LogHeaderLine(journal);
    unsigned number = 0;
    for (UndoItem* item = journal.items; item; item = item->next) {
        text += LogItemLine(*item, ++number);
        if (item->kind != UNDO_REGISTRY_VALUE || item->root != kHkcu) text += LogDoneLine(*item, number);
    }
    FreeJournalItems(&journal);
    std::string planted = Plant("20000101-000000", text + "{\"record\":\"done\",\"numb");

    ProcessResult r = Run("-undo=20000101-000000");
    EXPECT_EQ(1u, r.exitCode) << r.output;
    const std::string damaged = ": damaged file item: its saved copy's name is not one this program writes\r\n";
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(1u, CountOf(r.output, "Could not restore item " + folder + "\\OUT" + std::to_string(n) + ".EXE" +
                                            damaged))
            << n << r.output;
    std::string key = "HKCU\\" + std::string(kKey);
    for (const std::string& line :
         {"Could not restore item " + std::string(kKey) + ": damaged registryValue item: its root is not a predefined key\r\n",
          "Nothing to restore for registry value " + key + "\\stay: the run was cut off before it changed it\r\n",
          "Restored registry value " + key + "\\gone\r\n", std::string("1 restored, 4 not restored, 1 not needed\r\n")})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;
    for (int n = 0; n < 3; ++n) EXPECT_FALSE(FileExists(folder + "\\OUT" + std::to_string(n) + ".EXE")) << n;
    MachineShot values = RegistryShotOf(HKEY_CURRENT_USER, kKey);
    for (const char* name : {"@stay", "@gone"}) EXPECT_EQ(1u, values.count(name)) << name;
    EXPECT_EQ(0u, values.count("@rootless"));
    // Marked restored in place of the line the cut left unfinished.
    std::string manifest = ReadWholeFile(planted + "\\manifest.json");
    EXPECT_EQ(0u, manifest.find(text)) << manifest;
    std::string after = manifest.substr(manifest.find(text) == 0 ? text.size() : 0);
    EXPECT_EQ(0u, after.find("{\"record\":\"restored\",\"time\":\"")) << manifest;
    EXPECT_EQ(1u, CountOf(after, "\n")) << manifest;
    EXPECT_EQ(1u, CountOf(Run("-undo=list").output, "(restored "));
}

// What the calls that make the journal receive: every folder and file the
// journal makes is made with the same descriptor, whose access list grants
// full control to Administrators and SYSTEM alone and takes nothing from
// the folder above.
struct MadeWith {
    std::string path;
    std::string descriptor;
};
std::vector<MadeWith> g_made;

std::string DescriptorOf(LPSECURITY_ATTRIBUTES security) {
    if (!security || !security->lpSecurityDescriptor) return "none";
    return std::string(static_cast<const char*>(security->lpSecurityDescriptor),
                       GetSecurityDescriptorLength(security->lpSecurityDescriptor));
}
BOOL WINAPI RecordDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    g_made.push_back(MadeWith{path, DescriptorOf(security)});
    return CreateDirectoryA(path, security);
}
HANDLE WINAPI RecordFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE model) {
    g_made.push_back(MadeWith{path, DescriptorOf(security)});
    return CreateFileA(path, access, share, security, disposition, flags, model);
}

TEST_F(UndoSafety, TheJournalIsMadeForAdministratorsOnly) {
    std::string big = folder + "\\BIG.EXE", small = folder + "\\SMALL.EXE";
    ASSERT_TRUE(WriteWholeFile(big, std::string(5000, 'b')));
    ASSERT_TRUE(WriteWholeFile(small, "small"));
    g_made.clear();
    JournalCreateCalls real = g_journalCreateCalls;
    g_journalCreateCalls = JournalCreateCalls{RecordDirectory, RecordFile};
    BeginUndoJournal(nullptr);
    EXPECT_TRUE(SaveFileForUndo(big.c_str(), UNDO_SAVE_DELETE, nullptr, nullptr)) << UndoSaveProblem();
    UndoChangeDone(false);
    EXPECT_TRUE(SaveFileForUndo(small.c_str(), UNDO_SAVE_DELETE, nullptr, nullptr)) << UndoSaveProblem();
    UndoChangeDone(false);
    EndUndoJournal();
    g_journalCreateCalls = real;

    // The root, the run's folder, the manifest's first form, the large
    // file's copy; the small file is kept in its record.
    ASSERT_EQ(5u, g_made.size());
    EXPECT_EQ("C:\\Mendrix", g_made[0].path);
    EXPECT_EQ(kUndoRoot, g_made[1].path);
    EXPECT_EQ(0u, g_made[2].path.find(std::string(kUndoRoot) + "\\"));
    EXPECT_EQ(g_made[2].path + "\\manifest.json.new", g_made[3].path);
    EXPECT_EQ(g_made[2].path + "\\0001.sav", g_made[4].path);
    // Wine says it is Windows 2000 or later: the list is protected.
    for (const MadeWith& made : g_made) EXPECT_EQ(JournalSecurityDescriptor(true), made.descriptor) << made.path;

    // The same descriptor as the system reads it.
    std::string bytes = JournalSecurityDescriptor(true);
    PSECURITY_DESCRIPTOR descriptor = &bytes[0];
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_EQ(0x1000, control & 0x1000) << "SE_DACL_PROTECTED";
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    EXPECT_FALSE(defaulted);
    ASSERT_EQ(2u, dacl->AceCount);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr, system = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &admins));
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system));
    PSID expected[] = {admins, system};
    for (DWORD i = 0; i < 2; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType) << i;
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags) << i;
        EXPECT_EQ(static_cast<DWORD>(FILE_ALL_ACCESS), ace->Mask) << i;
        EXPECT_TRUE(EqualSid(&ace->SidStart, expected[i])) << i;
    }
    FreeSid(admins);
    FreeSid(system);
    PSID owner = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    EXPECT_EQ(nullptr, owner) << "the system makes the creator the owner";
}

// A root folder another account owns, or that it may write to, is moved
// aside for a new one, with a line that says why.
TEST_F(UndoSafety, UntrustedFoldersOfTheJournalAreMovedAside) {
    CreateDirectoryA("C:\\Mendrix", nullptr);
    ASSERT_TRUE(CreateDirectoryA(kUndoRoot, nullptr));
    ASSERT_TRUE(WriteWholeFile(std::string(kUndoRoot) + "\\left.txt", "planted"));
    ASSERT_TRUE(GiveToAnotherUnixUser(kUndoRoot));
    ASSERT_TRUE(WriteWholeFile(folder + "\\A.EXE", "first"));
    ProcessResult r = Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>"));
    EXPECT_EQ(0u, r.exitCode) << r.output;
    std::string aside = std::string(kUndoRoot) + ".untrusted";
    EXPECT_EQ(1u, CountOf(r.output, "\r\n" + std::string(kUndoRoot) + " was moved aside to " + aside +
                                        ": it belongs to another account (S-1-5-7)\r\n"))
        << r.output;
    EXPECT_EQ("planted", ReadWholeFile(aside + "\\left.txt"));
    EXPECT_EQ(1u, Journals().size());
    EXPECT_FALSE(FileExists(folder + "\\A.EXE"));

    ASSERT_TRUE(LetEveryoneWrite(kUndoRoot));
    ASSERT_TRUE(WriteWholeFile(folder + "\\A.EXE", "again"));
    r = Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>"));
    EXPECT_EQ(1u, CountOf(r.output, "\r\n" + std::string(kUndoRoot) + " was moved aside to " + aside +
                                        "-2: it lets another account write to it (S-1-1-0)\r\n"))
        << r.output;
    EXPECT_EQ(1u, Journals().size());
    EXPECT_EQ(0u, Run("-undo").exitCode);
    EXPECT_EQ("again", ReadWholeFile(folder + "\\A.EXE"));
}

// Runs killed at random moments while they delete 800 files: after each,
// -undo puts every file back as it was.
TEST_F(UndoSafety, KilledRunsLoseNothing) {
    const int kFiles = 800;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\K%03d.EXE", i);
        // Some of them large enough for a saved copy of their own.
        std::string bytes = "MZ killed-run " + std::string(i % 50 == 0 ? 3000 : 40, static_cast<char>('a' + i % 26));
        ASSERT_TRUE(WriteWholeFile(folder + name, bytes));
        if (i % 7 == 0) SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    ASSERT_TRUE(BuildDataFile(Script("<DISK><DIRECTORY>" + folder + "</DIRECTORY><FILE Extensions=\".exe\">"
                                     "<PATTERN type=\"forwards\">6B 69 6C 6C 65 64</PATTERN><ACTION>delete</ACTION>"
                                     "</FILE></DISK>"),
                              dat));
    const char* const kSkip[] = {"run.log", "run.dat", nullptr};
    MachineShot before;
    AddFolderTree(folder, "", &before, kSkip);
    srand(GetTickCount());
    int kills = 0;
    for (int round = 0; round < 10 && kills < 6; ++round) {
        std::string line = std::string(kCli) + " -noc -df=" + dat + " -lf=" + log;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &startup, &process));
        // Killed once a random share of the files is gone.
        int target = 1 + rand() % (kFiles - 40);
        for (;;) {
            if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) break;
            int left = 0;
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA((folder + "\\K*.EXE").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do ++left;
                while (FindNextFileA(search, &found));
                FindClose(search);
            }
            if (kFiles - left >= target) break;
        }
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code) && code == STILL_ACTIVE) {
            TerminateProcess(process.hProcess, 9);
            ++kills;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        ProcessResult r = Run("-undo");
        EXPECT_EQ(0u, r.exitCode) << "round " << round << " target " << target << "\n" << r.output;
        MachineShot after;
        AddFolderTree(folder, "", &after, kSkip);
        ASSERT_TRUE(before == after) << "round " << round << " target " << target << "\n"
                                     << ShotDifferences(before, after) << r.output;
    }
    EXPECT_GE(kills, 5);
}

// A key nested 300 deep is saved whole; one deeper than the registry
// allows is refused, and stays; neither ends the run.
TEST_F(UndoSafety, DeepKeysAreSavedToTheRegistrysLimit) {
    struct Chain {
        const char* name;
        int depth;
    } chains[] = {{"Deep", 300}, {"Deeper", 520}};
    for (const Chain& chain : chains) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + chain.name).c_str(), 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        for (int level = 0; level < chain.depth; ++level) {
            HKEY below;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &below, nullptr))
                << chain.name << " " << level;
            RegSetValueExA(below, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), 4);
            RegCloseKey(key);
            key = below;
        }
        RegCloseKey(key);
    }
    std::vector<UndoKeyEntry> entries;
    std::string problem;
    EXPECT_EQ(TREE_READ, ReadRegistryTree(kHkcu, std::string(kKey) + "\\Deep", &entries, &problem)) << problem;
    ASSERT_EQ(600u, entries.size());
    EXPECT_EQ(599u, entries.back().subkey.size()) << "300 names of one letter and the backslashes between";
    EXPECT_EQ("v", entries.back().name);
    entries.clear();
    EXPECT_EQ(TREE_FAILED, ReadRegistryTree(kHkcu, std::string(kKey) + "\\Deeper", &entries, &problem));
    EXPECT_EQ("it is more than 512 levels deep", problem);

    ProcessResult r = Scan("<REGISTRY><KEY handle=\"HKEY_CURRENT_USER\" name=\"" + std::string(kKey) +
                           "\\Deep\"><ACTION>delete</ACTION></KEY><KEY handle=\"HKEY_CURRENT_USER\" name=\"" +
                           std::string(kKey) + "\\Deeper\"><ACTION>delete</ACTION></KEY></REGISTRY>");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ(1u, CountOf(r.output, "Could not delete registry key HKCU\\" + std::string(kKey) +
                                        "\\Deeper: could not save it for undo (it is more than 512 levels deep)\r\n"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find("System scan")) << r.output;
    HKEY deeper;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\Deeper").c_str(), 0, KEY_READ, &deeper));
    RegCloseKey(deeper);
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
