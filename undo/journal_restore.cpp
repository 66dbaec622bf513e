#include "undo/journal_restore.h"

#include <string.h>

#include <algorithm>

#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"

RestoreResult ItemRestored() { return RestoreResult{RESTORE_DONE, ""}; }
RestoreResult ItemLeftAlone(const std::string& reason) { return RestoreResult{RESTORE_LEFT_ALONE, reason}; }
RestoreResult ItemFailed(const std::string& reason) { return RestoreResult{RESTORE_FAILED, reason}; }
RestoreResult ItemNotNeeded() { return RestoreResult{RESTORE_NOT_NEEDED, "the run was cut off before it changed it"}; }

std::string ShownUndoItem(const UndoItem& item) {
    static const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
    std::string root = (item.root & 0xF) < 7 ? kRoots[item.root & 0xF] : "";
    switch (item.kind) {
    case UNDO_REGISTRY_VALUE:
        return root + "\\" + item.path + "\\" + (item.name.empty() ? "Default" : item.name);
    case UNDO_REGISTRY_KEY:
        return root + "\\" + item.path;
    case UNDO_INI_ENTRY:
        return item.path + " [" + item.section + "] " + item.name;
    default:
        return item.path;
    }
}

namespace {

int32_t ReportKindOf(int kind) {
    switch (kind) {
    case UNDO_REGISTRY_VALUE: return ITEM_REGISTRY_VALUE;
    case UNDO_REGISTRY_KEY: return ITEM_REGISTRY_KEY;
    case UNDO_INI_ENTRY: return ITEM_INI_ENTRY;
    case UNDO_SERVICE: return ITEM_SERVICE;
    default: return ITEM_FILE;
    }
}

// The journals, the oldest first.
std::vector<std::string> SortedFolders(const JournalShelf& shelf) {
    std::vector<std::string> names = shelf.folders();
    std::sort(names.begin(), names.end());
    return names;
}

int ListJournals(const JournalShelf& shelf) {
    std::vector<std::string> names = SortedFolders(shelf);
    if (names.empty()) {
        ReportMessage(MSG_INFO, "No undo journals in %s\r\n", shelf.root.c_str());
        return 0;
    }
    ReportMessage(MSG_INFO, "Undo journals in %s:\r\n", shelf.root.c_str());
    for (const std::string& name : names) {
        Journal journal = {};
        std::string problem;
        bool refused = false;
        if (shelf.readManifest(shelf.root + "\\" + name, &journal, &problem, &refused))
            ReportMessage(MSG_INFO, "%s\r\n", JournalListLine(name, journal).c_str());
        else
            ReportMessage(MSG_INFO, "%s  (%s: %s)\r\n", name.c_str(), refused ? "refused" : "cannot be read",
                          problem.c_str());
        FreeJournalItems(&journal);
    }
    return 0;
}

// Puts each item back and reports it; answers the exit code.
int RestoreItems(const JournalShelf& shelf, const std::string& folder, Journal* journal) {
    ReportMessage(MSG_INFO, "Restoring %s\r\n", folder.c_str());
    unsigned restored = 0, notRestored = 0, notNeeded = 0;
    for (const UndoItem* item : RestoreOrder(*journal)) {
        RestoreResult result = shelf.restoreItem(folder, *item);
        const char* kind = UndoKindWord(item->kind);
        std::string shown = ShownUndoItem(*item);
        int32_t outcome = OUTCOME_FAILED;
        if (result.outcome == RESTORE_DONE) {
            ++restored;
            outcome = OUTCOME_DONE;
            ReportMessage(MSG_INFO, "Restored %s %s\r\n", kind, shown.c_str());
        } else if (result.outcome == RESTORE_NOT_NEEDED) {
            ++notNeeded;
            outcome = OUTCOME_FOUND;
            ReportMessage(MSG_INFO, "Nothing to restore for %s %s: %s\r\n", kind, shown.c_str(), result.reason.c_str());
        } else {
            ++notRestored;
            ReportMessage(MSG_INFO, "%s %s %s: %s\r\n",
                          result.outcome == RESTORE_LEFT_ALONE ? "Left alone" : "Could not restore", kind,
                          shown.c_str(), result.reason.c_str());
        }
        // The reason a restore was refused stands where a scan names what
        // matched.
        RecordItem(ReportKindOf(item->kind), shown.c_str(), result.reason.c_str(), "restore", outcome);
    }
    // Marked even when some items stayed out: a second restore would only
    // find what came back in their place.
    std::string problem;
    if (!shelf.markRestored(folder, journal, shelf.now(), &problem))
        ReportMessage(MSG_ERROR, "The journal cannot be marked as restored: %s\r\n", problem.c_str());
    if (notNeeded)
        ReportMessage(MSG_INFO, "%u restored, %u not restored, %u not needed\r\n", restored, notRestored, notNeeded);
    else
        ReportMessage(MSG_INFO, "%u restored, %u not restored\r\n", restored, notRestored);
    return notRestored ? 1 : 0;
}

enum { PASSED_OVER = -1 };

// Restores one journal; answers the exit code. The latest journal, chosen
// by name, is passed over (PASSED_OVER) when it is refused or never got its
// manifest, so that a planted one cannot stand in front of the program's own.
int Restore(const JournalShelf& shelf, const std::string& folder, bool latest) {
    Journal journal = {};
    std::string problem;
    bool refused = false;
    int result = 1;
    if (latest && !shelf.hasManifest(folder)) {
        ReportMessage(MSG_ERROR, "Passed over %s: its manifest cannot be read\r\n", folder.c_str());
        result = PASSED_OVER;
    } else if (!shelf.readManifest(folder, &journal, &problem, &refused)) {
        bool passOver = latest && refused;
        ReportMessage(MSG_ERROR, "%s %s: %s\r\n", passOver ? "Passed over" : "Cannot restore", folder.c_str(),
                      problem.c_str());
        if (passOver) result = PASSED_OVER;
    } else if (!journal.restored.empty()) {
        ReportMessage(MSG_ERROR, "%s was restored on %s already; nothing was changed\r\n", folder.c_str(),
                      journal.restored.c_str());
    } else if (ReportOnlyRun()) {
        CopyBounded(g_runFacts.undoJournal, sizeof g_runFacts.undoJournal, folder.c_str());
        // Nothing is put back and the journal stays unmarked.
        for (const UndoItem* item : RestoreOrder(journal)) {
            std::string shown = ShownUndoItem(*item);
            ReportWouldDo("restore %s %s", UndoKindWord(item->kind), shown.c_str());
            RecordItem(ReportKindOf(item->kind), shown.c_str(), "", "restore", OUTCOME_WOULD);
        }
        result = 0;
    } else {
        CopyBounded(g_runFacts.undoJournal, sizeof g_runFacts.undoJournal, folder.c_str());
        result = RestoreItems(shelf, folder, &journal);
    }
    FreeJournalItems(&journal);
    return result;
}

}  // namespace

int RunJournalRestore(const JournalShelf& shelf, const char* which) {
    if (which && EqualsIgnoreCase(which, "list")) return ListJournals(shelf);
    // A journal's name alone is one of the root's.
    if (which && *which) return Restore(shelf, strchr(which, '\\') ? which : shelf.root + "\\" + which, false);
    std::vector<std::string> names = shelf.folders();
    for (;;) {
        std::string latest = LatestJournalFolder(names);
        if (latest.empty()) break;
        int result = Restore(shelf, shelf.root + "\\" + latest, true);
        if (result != PASSED_OVER) return result;
        names.erase(std::find(names.begin(), names.end(), latest));
    }
    ReportMessage(MSG_ERROR, "No undo journal in %s\r\n", shelf.root.c_str());
    return 1;
}
