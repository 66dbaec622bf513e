// The undo journal's platform-free part: the manifest written and read back,
// damaged manifests and items, journal folder names, the scrambling of saved
// copies, the order of restoring, the list line and the command-line words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_options.h"
#include "undo/journal.h"

namespace {

struct Owned {
    Journal journal = {};
    ~Owned() { FreeJournalItems(&journal); }
};

const std::string kBinary("\0\x01\xff\"\\\n", 6);

void FillJournal(Journal* j) {
    j->version = UNDO_FORMAT_VERSION;
    j->created = "2026-12-07 10:00:05";
    j->dataFile = "C:\\data\\evil \"x\".dat";
    UndoItem* file = NewUndoItem(UNDO_FILE, UNDO_MOVE, "C:\\DIR\\EVIL.EXE");
    file->destination = "C:\\Q\\EVIL.EXE";
    file->saved = "0001.sav";
    file->attributes = 0x21;
    file->size = 5000000000ull;
    file->created = 0x01DB000000000001ull;
    file->accessed = 0xFFFFFFFFFFFFFFFFull;
    file->written = 1;
    file->scheduled = "\\??\\C:\\DIR\\EVIL.EXE";  // in use: moved when Windows restarts
    AddUndoItem(j, file);
    UndoItem* cut = NewUndoItem(UNDO_FILE, UNDO_CUT, "C:\\cut.exe");
    cut->saved = "0002.sav";
    cut->afterSize = 7;
    cut->afterWritten = 9;
    AddUndoItem(j, cut);
    UndoItem* value = NewUndoItem(UNDO_REGISTRY_VALUE, UNDO_RESET, "Software\\Run");
    value->root = 0x80000001u;
    value->name = "";
    value->type = 3;
    value->data = kBinary;
    value->hasNewData = true;
    value->newType = 1;
    value->newData = std::string("x\0", 2);
    AddUndoItem(j, value);
    UndoItem* key = NewUndoItem(UNDO_REGISTRY_KEY, UNDO_DELETE, "Software\\Evil");
    key->root = 0x80000002u;
    key->keyEntries = {{"", false, "a", 4, std::string("\x01\0\0\0", 4)},
                       {"Sub", true, "", 0, ""},
                       {"Sub", false, "", 1, std::string("t\0", 2)}};
    AddUndoItem(j, key);
    UndoItem* ini = NewUndoItem(UNDO_INI_ENTRY, UNDO_DELETE, "win.ini");
    ini->section = "windows";
    ini->name = "load";
    ini->data = "evil.exe  ; tail";
    AddUndoItem(j, ini);
    UndoItem* service = NewUndoItem(UNDO_SERVICE, UNDO_DELETE, "MxEvil");
    service->service = {"Mx Evil", "\"C:\\x.exe\" -s", "", "LocalSystem", {"RpcSs", "+Group"}, 0x10, 3, 1};
    AddUndoItem(j, service);
}

TEST(UndoManifest, EveryKindReadsBackAsItWasWritten) {
    Owned written, read;
    FillJournal(&written.journal);
    std::string problem;
    ASSERT_TRUE(ParseManifest(ManifestText(written.journal), &read.journal, &problem)) << problem;
    const Journal& r = read.journal;
    EXPECT_EQ(written.journal.created, r.created);
    EXPECT_EQ(written.journal.dataFile, r.dataFile);
    EXPECT_EQ("", r.restored);
    const UndoItem* w = written.journal.items;
    const UndoItem* i = r.items;
    int n = 0;
    for (; w && i; w = w->next, i = i->next, ++n) {
        EXPECT_EQ(w->kind, i->kind) << n;
        EXPECT_EQ(w->change, i->change) << n;
        EXPECT_EQ(w->path, i->path) << n;
        EXPECT_EQ(w->destination, i->destination) << n;
        EXPECT_EQ(w->saved, i->saved) << n;
        EXPECT_EQ(w->attributes, i->attributes) << n;
        EXPECT_EQ(w->size, i->size) << n;
        EXPECT_EQ(w->created, i->created) << n;
        EXPECT_EQ(w->accessed, i->accessed) << n;
        EXPECT_EQ(w->written, i->written) << n;
        EXPECT_EQ(w->afterSize, i->afterSize) << n;
        EXPECT_EQ(w->afterWritten, i->afterWritten) << n;
        EXPECT_EQ(w->scheduled, i->scheduled) << n;
        EXPECT_EQ(w->root, i->root) << n;
        EXPECT_EQ(w->section, i->section) << n;
        EXPECT_EQ(w->name, i->name) << n;
        EXPECT_EQ(w->type, i->type) << n;
        EXPECT_EQ(w->data, i->data) << n;
        EXPECT_EQ(w->hasNewData, i->hasNewData) << n;
        EXPECT_EQ(w->newType, i->newType) << n;
        EXPECT_EQ(w->newData, i->newData) << n;
        ASSERT_EQ(w->keyEntries.size(), i->keyEntries.size()) << n;
        for (size_t e = 0; e < w->keyEntries.size(); ++e) {
            EXPECT_EQ(w->keyEntries[e].subkey, i->keyEntries[e].subkey) << n << "/" << e;
            EXPECT_EQ(w->keyEntries[e].isKey, i->keyEntries[e].isKey) << n << "/" << e;
            EXPECT_EQ(w->keyEntries[e].name, i->keyEntries[e].name) << n << "/" << e;
            EXPECT_EQ(w->keyEntries[e].type, i->keyEntries[e].type) << n << "/" << e;
            EXPECT_EQ(w->keyEntries[e].data, i->keyEntries[e].data) << n << "/" << e;
        }
        EXPECT_EQ(w->service.displayName, i->service.displayName) << n;
        EXPECT_EQ(w->service.binaryPath, i->service.binaryPath) << n;
        EXPECT_EQ(w->service.account, i->service.account) << n;
        EXPECT_EQ(w->service.dependencies, i->service.dependencies) << n;
        EXPECT_EQ(w->service.serviceType, i->service.serviceType) << n;
        EXPECT_EQ(w->service.startType, i->service.startType) << n;
        EXPECT_EQ(w->service.errorControl, i->service.errorControl) << n;
    }
    EXPECT_EQ(6, n);
    EXPECT_EQ(nullptr, w);
    EXPECT_EQ(nullptr, i);
}

TEST(UndoManifest, TextThatIsNoManifestIsRefusedWithItsReason) {
    struct Row {
        int row;
        std::string text;
        const char* problem;
    } rows[] = {
        {1, "", "the manifest is not JSON"},
        {2, "{\"format\":", "the manifest is not JSON"},
        {3, "[1,2]", "the manifest is not JSON"},
        {4, "{\"format\":\"other\",\"version\":1}", "the manifest is not an undo journal"},
        {5, "{\"format\":\"mendrix-undo-journal\",\"version\":2,\"created\":\"\",\"dataFile\":\"\",\"restored\":\"\","
            "\"items\":[]}",
         "the manifest's version is not one this program reads"},
        {6, "{\"format\":\"mendrix-undo-journal\",\"version\":\"1\"}",
         "the manifest's version is not one this program reads"},
        {7, "{\"format\":\"mendrix-undo-journal\",\"version\":1,\"created\":\"\",\"dataFile\":\"\",\"restored\":\"\","
            "\"items\":{}}",
         "the manifest lacks its header fields"},
        {8, "{\"format\":\"mendrix-undo-journal\",\"version\":1,\"created\":\"\",\"dataFile\":\"\",\"items\":[]}",
         "the manifest lacks its header fields"},
    };
    for (const Row& r : rows) {
        Owned read;
        std::string problem;
        EXPECT_FALSE(ParseManifest(r.text, &read.journal, &problem)) << "row " << r.row;
        EXPECT_EQ(r.problem, problem) << "row " << r.row;
    }
}

// A damaged item is reported as such; the items around it are read, and it
// is written back unchanged when the journal is marked.
TEST(UndoManifest, DamagedItemsStandAloneAndAreKept) {
    const std::string head =
        "{\"format\":\"mendrix-undo-journal\",\"version\":1,\"created\":\"c\",\"dataFile\":\"d\",\"restored\":\"\","
        "\"items\":[";
    const std::string good = "{\"kind\":\"iniEntry\",\"change\":\"delete\",\"file\":\"a.ini\",\"section\":\"s\","
                             "\"name\":\"n\",\"text\":\"t\"}";
    struct Row {
        int row;
        std::string item;
        const char* problem;
        const char* named;
    } rows[] = {
        {1, "7", "not an item", ""},
        {2, "{\"kind\":\"process\",\"change\":\"end\"}", "unknown kind of change: process end", ""},
        {3, "{\"kind\":\"registryValue\",\"change\":\"delete\",\"root\":1,\"key\":\"K\",\"name\":\"v\",\"type\":1,"
            "\"data\":\"0g\"}",
         "damaged registryValue item", "K"},
        {4, "{\"kind\":\"file\",\"change\":\"delete\",\"path\":\"C:\\\\x\",\"saved\":\"0001.sav\"}",
         "damaged file item", "C:\\x"},
        {5, "{\"kind\":\"file\",\"change\":\"reset\",\"path\":\"C:\\\\x\",\"saved\":\"s\",\"attributes\":0,\"size\":0,"
            "\"created\":0,\"accessed\":0,\"written\":0}",
         "damaged file item", "C:\\x"},
        {6, "{\"kind\":\"registryValue\",\"change\":\"reset\",\"root\":1,\"key\":\"K\",\"name\":\"v\",\"type\":1,"
            "\"data\":\"00\"}",
         "damaged registryValue item", "K"},
        {7, "{\"kind\":\"registryKey\",\"change\":\"delete\",\"root\":1,\"key\":\"\",\"entries\":[]}",
         "damaged registryKey item", ""},
        {8, "{\"kind\":\"service\",\"change\":\"delete\",\"name\":\"S\",\"config\":{\"dependencies\":[1]}}",
         "damaged service item", "S"},
        {9, "{\"kind\":\"registryValue\",\"change\":\"delete\",\"root\":-1,\"key\":\"K\",\"name\":\"v\",\"type\":1,"
            "\"data\":\"00\"}",
         "damaged registryValue item", "K"},
        {10, "{\"kind\":\"file\",\"change\":\"delete\",\"path\":\"C:\\\\x\",\"saved\":\"s\",\"attributes\":0,\"size\":0,"
             "\"created\":0,\"accessed\":0,\"written\":0,\"scheduled\":1}",
         "damaged file item", "C:\\x"},
    };
    for (const Row& r : rows) {
        Owned read;
        std::string problem;
        ASSERT_TRUE(ParseManifest(head + good + "," + r.item + "," + good + "]}", &read.journal, &problem))
            << "row " << r.row;
        const UndoItem* first = read.journal.items;
        ASSERT_TRUE(first && first->next && first->next->next) << "row " << r.row;
        const UndoItem* damaged = first->next;
        EXPECT_EQ(UNDO_INI_ENTRY, first->kind) << "row " << r.row;
        EXPECT_EQ(UNDO_DAMAGED, damaged->kind) << "row " << r.row;
        EXPECT_EQ(r.problem, damaged->problem) << "row " << r.row;
        EXPECT_EQ(r.named, damaged->path) << "row " << r.row;
        EXPECT_EQ(UNDO_INI_ENTRY, damaged->next->kind) << "row " << r.row;

        read.journal.restored = "now";
        Owned again;
        ASSERT_TRUE(ParseManifest(ManifestText(read.journal), &again.journal, &problem)) << "row " << r.row;
        EXPECT_EQ("now", again.journal.restored);
        ASSERT_TRUE(again.journal.items && again.journal.items->next) << "row " << r.row;
        EXPECT_EQ(r.problem, again.journal.items->next->problem) << "row " << r.row;
    }
}

// "-0" is a zero: the writer puts it back as 0, so an item read with it must
// not be damaged, or it would read differently once rewritten.
TEST(UndoManifest, NegativeZeroIsZeroAndReadsTheSameAfterRewriting) {
    const std::string text =
        "{\"format\":\"mendrix-undo-journal\",\"version\":1,\"created\":\"c\",\"dataFile\":\"d\","
        "\"restored\":\"\",\"items\":[{\"kind\":\"file\",\"change\":\"delete\",\"path\":\"C:\\\\x\","
        "\"saved\":\"0001.sav\",\"attributes\":-0,\"size\":-0,\"created\":0,\"accessed\":0,\"written\":0},"
        "{\"kind\":\"file\",\"change\":\"delete\",\"path\":\"C:\\\\y\",\"saved\":\"0002.sav\","
        "\"attributes\":-1,\"size\":0,\"created\":0,\"accessed\":0,\"written\":0}]}";
    Owned read;
    std::string problem;
    ASSERT_TRUE(ParseManifest(text, &read.journal, &problem)) << problem;
    ASSERT_TRUE(read.journal.items && read.journal.items->next);
    EXPECT_EQ(UNDO_FILE, read.journal.items->kind);
    EXPECT_EQ(0u, read.journal.items->size);
    EXPECT_EQ(UNDO_DAMAGED, read.journal.items->next->kind);  // a negative number stays refused
    std::string written = ManifestText(read.journal);
    Owned again;
    ASSERT_TRUE(ParseManifest(written, &again.journal, &problem)) << problem;
    EXPECT_EQ(written, ManifestText(again.journal));
}

TEST(UndoJournalFolder, NamesSortByTimeThenAttempt) {
    JournalTime t = {2026, 12, 7, 9, 5, 3};
    EXPECT_EQ("20261207-090503", JournalFolderName(t, 0));
    EXPECT_EQ("20261207-090503-2", JournalFolderName(t, 2));
    EXPECT_EQ("2026-12-07 09:05:03", JournalTimeText(t));
    struct Row {
        int row;
        const char* name;
        bool isJournal;
    } rows[] = {
        {1, "20261207-090503", true},   {2, "20261207-090503-1", true}, {3, "20261207-090503-12", true},
        {4, "20261207-090503-0", false}, {5, "20261207-090503-", false}, {6, "20261207_090503", false},
        {7, "2026120-0905031", false},  {8, "20261207-090503x", false}, {9, ".", false},
        {10, "20261207-09050a", false}, {11, "20261207-090503-123456", false},
    };
    for (const Row& r : rows) EXPECT_EQ(r.isJournal, IsJournalFolderName(r.name)) << "row " << r.row;

    EXPECT_EQ("", LatestJournalFolder({}));
    EXPECT_EQ("", LatestJournalFolder({"x", "99999999-999999-0"}));
    EXPECT_EQ("20261207-090503-10",
              LatestJournalFolder({"20261207-090503-9", "20261207-090503-10", "20261207-090503", "20261206-235959"}));
    EXPECT_EQ("20270101-000000", LatestJournalFolder({"20261231-235959-3", "20270101-000000", "zzz"}));
    EXPECT_EQ("0001.sav", SavedCopyName(1));
    EXPECT_EQ("12345.sav", SavedCopyName(12345));
}

TEST(UndoSavedCopy, ScrambledInPiecesAsWholeAndBack) {
    std::string original = "MZ" + std::string(1000, '\0') + "PE\0\0";
    std::string whole = original;
    uint8_t key = UNDO_SCRAMBLE_START;
    ScrambleBytes(&whole[0], whole.size(), &key);
    EXPECT_NE(0, whole.compare(0, 2, "MZ"));
    EXPECT_EQ(std::string::npos, whole.find(std::string(16, '\0')));  // runs do not show through
    std::string pieces = original;
    key = UNDO_SCRAMBLE_START;
    for (size_t at = 0; at < pieces.size(); at += 333)
        ScrambleBytes(&pieces[at], std::min<size_t>(333, pieces.size() - at), &key);
    EXPECT_EQ(whole, pieces);
    key = UNDO_SCRAMBLE_START;
    ScrambleBytes(&whole[0], whole.size(), &key);
    EXPECT_EQ(original, whole);
}

TEST(UndoRestore, LastChangeComesBackFirst) {
    Owned j;
    FillJournal(&j.journal);
    std::vector<const UndoItem*> order = RestoreOrder(j.journal);
    ASSERT_EQ(6u, order.size());
    EXPECT_EQ(UNDO_SERVICE, order[0]->kind);
    EXPECT_EQ(UNDO_REGISTRY_KEY, order[2]->kind);
    EXPECT_EQ(UNDO_REGISTRY_VALUE, order[3]->kind);
    EXPECT_EQ("C:\\DIR\\EVIL.EXE", order[5]->path);
    EXPECT_TRUE(RestoreOrder(Journal{}).empty());
}

TEST(UndoList, LineCountsEachKind) {
    Owned j;
    FillJournal(&j.journal);
    EXPECT_EQ("20261207-100005  2026-12-07 10:00:05  C:\\data\\evil \"x\".dat  2 files, 1 registry value, "
              "1 registry key, 1 INI entry, 1 service",
              JournalListLine("20261207-100005", j.journal));
    j.journal.restored = "2026-12-08 08:00:00";
    AddUndoItem(&j.journal, NewUndoItem(UNDO_DAMAGED, UNDO_DELETE, ""));
    EXPECT_EQ("x  2026-12-07 10:00:05  C:\\data\\evil \"x\".dat  2 files, 1 registry value, 1 registry key, "
              "1 INI entry, 1 service, 1 item  (restored 2026-12-08 08:00:00)",
              JournalListLine("x", j.journal));
}

TEST(UndoOptions, UndoWordsOnTheCommandLine) {
    struct Row {
        int row;
        const char* line;
        const char* undo;  // null: a scan
        int noUndo;
    } rows[] = {
        {1, "-noc", nullptr, 0},
        {2, "-undo", "", 0},
        {3, "-UNDO=list", "list", 0},
        {4, "\"-undo=C:\\My Journals\\20261207-100000\"", "C:\\My Journals\\20261207-100000", 0},
        {5, "-noundo -noc", nullptr, 1},
        {6, "-undone", nullptr, 0},
        {7, "-undo=", "", 0},
    };
    for (const Row& r : rows) {
        std::string line = r.line;
        ParseCommandLine(&line[0]);
        if (r.undo)
            EXPECT_STREQ(r.undo, g_runOptions.undo) << "row " << r.row;
        else
            EXPECT_EQ(nullptr, g_runOptions.undo) << "row " << r.row;
        EXPECT_EQ(r.noUndo, g_runOptions.noUndo) << "row " << r.row;
    }
}

}  // namespace
