// Fuzzes the undo manifest reader, of both versions: any text is refused or
// read, never ends the program (the JSON library is built to abort where it
// would throw, so a field read with the wrong type would show here), and
// what was read is written in its version and read back to the same
// manifest.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "undo/journal.h"
#include "undo/journal_log.h"

static void Check(bool condition, const char* what) {
    if (condition) return;
    fprintf(stderr, "undo_manifest_fuzz: %s\n", what);
    abort();
}

// A manifest with one item of every kind, written by the program itself in
// either version: the corpus starts from text that reaches every item reader.
static std::string SeedManifest(int version) {
    Journal j = {};
    j.version = version;
    j.created = "2026-12-07 10:00:00";
    j.dataFile = "C:\\x.dat";
    UndoItem* file = NewUndoItem(UNDO_FILE, UNDO_CUT, "C:\\a.exe");
    file->saved = "0001.sav";
    AddUndoItem(&j, file);
    UndoItem* move = NewUndoItem(UNDO_FILE, UNDO_MOVE, "C:\\b.exe");
    move->destination = "C:\\q\\b.vir";
    move->hasCopy = true;
    move->copy = "MZ";
    AddUndoItem(&j, move);
    UndoItem* value = NewUndoItem(UNDO_REGISTRY_VALUE, UNDO_RESET, "Software\\Run");
    value->data = std::string("a\0", 2);
    value->hasNewData = true;
    AddUndoItem(&j, value);
    UndoItem* key = NewUndoItem(UNDO_REGISTRY_KEY, UNDO_DELETE, "Software\\Evil");
    key->keyEntries = {{"", false, "v", 4, "1234"}, {"Sub", true, "", 0, ""}};
    AddUndoItem(&j, key);
    UndoItem* ini = NewUndoItem(UNDO_INI_ENTRY, UNDO_RESET, "win.ini");
    ini->hasNewData = true;
    AddUndoItem(&j, ini);
    UndoItem* service = NewUndoItem(UNDO_SERVICE, UNDO_DELETE, "Evil");
    service->service.dependencies = {"RpcSs"};
    AddUndoItem(&j, service);
    std::string text = version == UNDO_FORMAT_VERSION ? LogText(j) : ManifestText(j);
    FreeJournalItems(&j);
    // A log as a cut-off run leaves it: an item without its outcome, and a
    // last line never finished.
    if (version == UNDO_FORMAT_VERSION) {
        UndoItem* last = NewUndoItem(UNDO_REGISTRY_VALUE, UNDO_DELETE, "Software\\Late");
        last->root = 0x80000001u;
        text += LogItemLine(*last, 7) + "{\"number\":7,\"rec";
        delete last;
    }
    return text;
}

// Writes a journal as its own version writes it.
static std::string TextOf(const Journal& journal) {
    return journal.version == UNDO_FORMAT_VERSION ? LogText(journal) : ManifestText(journal);
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int version : {UNDO_FORMAT_VERSION_1, UNDO_FORMAT_VERSION}) {
        const std::string seed = SeedManifest(version);
        for (int i = 1; i < *argc; ++i) {
            const char* dir = (*argv)[i];
            if (dir[0] == '-') continue;
            std::string path = std::string(dir) + "/seed-manifest-" + std::to_string(version);
            if (FILE* existing = fopen(path.c_str(), "rb")) {
                fclose(existing);
                continue;
            }
            // Fails harmlessly when the argument is a file to rerun.
            FILE* file = fopen(path.c_str(), "wb");
            if (!file) continue;
            fwrite(seed.data(), 1, seed.size(), file);
            fclose(file);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Journal journal = {};
    std::string problem;
    if (ParseManifest(std::string(reinterpret_cast<const char*>(data), size), &journal, &problem)) {
        std::string text = TextOf(journal);
        Journal again = {};
        Check(ParseManifest(text, &again, &problem), "a written manifest is not read back");
        Check(again.version == journal.version, "a manifest changes its version when written again");
        Check(TextOf(again) == text, "a manifest changes when read and written again");
        std::vector<const UndoItem*> order = RestoreOrder(again);
        for (const UndoItem* item : order) Check(item->kind <= UNDO_DAMAGED, "an item of no kind");
        JournalListLine("x", again);
        FreeJournalItems(&again);
    } else {
        Check(!problem.empty(), "a refused manifest gives no reason");
    }
    FreeJournalItems(&journal);
    return 0;
}
