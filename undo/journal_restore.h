// The -undo command, the same wherever the journal lives: on the running
// machine, or on an installation mounted from outside. It picks the
// journal, lists them, reports each item and the totals; only reading a
// journal's files and putting an item back belong to where it lives.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "undo/journal.h"

enum RestoreOutcome { RESTORE_DONE, RESTORE_LEFT_ALONE, RESTORE_FAILED, RESTORE_NOT_NEEDED };

struct RestoreResult {
    RestoreOutcome outcome;
    std::string reason;
};

RestoreResult ItemRestored();
RestoreResult ItemLeftAlone(const std::string& reason);
RestoreResult ItemFailed(const std::string& reason);
// An item in doubt whose change the run never made.
RestoreResult ItemNotNeeded();

// Where the journals are, and how they are read and put back.
struct JournalShelf {
    std::string root;  // the folder of the journals ("C:\Mendrix\Undo")
    // The journal folders under root, by name.
    std::vector<std::string> (*folders)();
    // Whether the journal folder has a manifest at all.
    bool (*hasManifest)(const std::string& folder);
    // Reads the manifest when the folder and the manifest may be trusted;
    // *refused says that they may not, with the reason in *problem.
    bool (*readManifest)(const std::string& folder, Journal* journal, std::string* problem, bool* refused);
    RestoreResult (*restoreItem)(const std::string& folder, const UndoItem& item);
    // Marks the journal restored at the time ("YYYY-MM-DD HH:MM:SS").
    bool (*markRestored)(const std::string& folder, Journal* journal, const std::string& time,
                         std::string* problem);
    std::string (*now)();
};

// -undo (which empty or null), -undo=<folder or name> and -undo=list.
// Answers the exit code: 0 when every item came back (or the list was shown).
int RunJournalRestore(const JournalShelf& shelf, const char* which);

// What an item's line names: the path, the key and value, the INI entry.
std::string ShownUndoItem(const UndoItem& item);
