// The records of a run's journal as they go out, the same wherever the
// journal is kept: an item's record goes to disk, after the outcomes not
// yet written, before its change is made; the change's outcome waits in
// memory for the next record or the end of the run, so that a run cut off
// leaves the item in doubt, which is safe. Only how the log is written and
// a saved copy removed belong to the system.
#pragma once
#include <string>

#include "undo/journal.h"

struct JournalStorage {
    // Appends the bytes to the log and flushes them to disk; false, with the
    // problem kept for the report, when they are not all there.
    bool (*append)(const std::string& bytes);
    // Removes a saved copy whose change was not made.
    void (*removeCopy)(const std::string& copy);
    // Notes on a cut file's item what the cut left of the file.
    void (*noteCutResult)(UndoItem* item);
};

struct JournalRecords {
    const JournalStorage* storage;
    std::string unwritten;  // outcome records that go out with the next write
    unsigned numbered;      // items written so far
    unsigned kept;          // items whose change was not undone
    UndoItem* pending;      // written, its change not yet reported
    unsigned pendingNumber;
    std::string pendingCopy;  // its saved copy, when it has one
};

// Writes the item's record, with the outcomes not yet written before it,
// under the next number (*number): only then may its change be made. On
// failure the saved copy is removed.
bool WriteItemRecord(JournalRecords* records, const UndoItem& item, const std::string& copy, unsigned* number);
// The item whose change is being made, written under number; the records
// take it over.
void AwaitChange(JournalRecords* records, UndoItem* item, unsigned number, const std::string& copy);
// The outcome of the change awaited: made, or failed (its item is dropped
// and its copy removed).
void ChangeOutcome(JournalRecords* records, bool made);
// Writes the outcomes not yet written now; true when none is left.
bool WriteOutcomes(JournalRecords* records);
// At the end of the run: a change saved and never reported stays, in
// doubt. When the journal keeps anything, it is named in the log and the
// run report, and the answer is true; otherwise the caller removes it.
bool EndRecords(JournalRecords* records, const std::string& folder);
