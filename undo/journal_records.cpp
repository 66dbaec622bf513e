#include "undo/journal_records.h"

#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"
#include "undo/journal_log.h"

bool WriteItemRecord(JournalRecords* records, const UndoItem& item, const std::string& copy, unsigned* number) {
    *number = records->numbered + 1;
    if (records->storage->append(records->unwritten + LogItemLine(item, *number))) {
        records->unwritten.clear();
        records->numbered = *number;
        return true;
    }
    if (!copy.empty()) records->storage->removeCopy(copy);
    return false;
}

void AwaitChange(JournalRecords* records, UndoItem* item, unsigned number, const std::string& copy) {
    records->pending = item;
    records->pendingNumber = number;
    records->pendingCopy = copy;
}

void ChangeOutcome(JournalRecords* records, bool made) {
    UndoItem* item = records->pending;
    if (!item) return;
    records->pending = nullptr;
    if (made) {
        if (item->kind == UNDO_FILE && item->change == UNDO_CUT) records->storage->noteCutResult(item);
        records->unwritten += LogDoneLine(*item, records->pendingNumber);
        ++records->kept;
    } else {
        records->unwritten += LogDroppedLine(records->pendingNumber);
        if (!records->pendingCopy.empty()) records->storage->removeCopy(records->pendingCopy);
    }
    delete item;
}

bool WriteOutcomes(JournalRecords* records) {
    if (!records->unwritten.empty() && !records->storage->append(records->unwritten)) return false;
    records->unwritten.clear();
    return true;
}

bool EndRecords(JournalRecords* records, const std::string& folder) {
    if (records->pending) {
        ++records->kept;
        delete records->pending;
        records->pending = nullptr;
    }
    if (!records->kept) return false;
    ReportMessage(MSG_INFO, "\r\nUndo journal: %s\r\n", folder.c_str());
    CopyBounded(g_runFacts.undoJournal, sizeof g_runFacts.undoJournal, folder.c_str());
    return true;
}
