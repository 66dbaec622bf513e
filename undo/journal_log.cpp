#include "undo/journal_log.h"

#include "undo/journal_items.h"

using nlohmann::json;
using namespace undo_json;

namespace {

std::string Line(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n"; }

const char kRecord[] = "record";

void Unlink(Journal* journal, UndoItem* gone) {
    UndoItem** link = &journal->items;
    while (*link && *link != gone) link = &(*link)->next;
    if (*link) *link = gone->next;
    journal->last = nullptr;
    for (UndoItem* i = journal->items; i; i = i->next) journal->last = i;
    delete gone;
}

// A line that is no record of this log: kept as a damaged item, so that
// whoever restores sees it.
void AddDamaged(Journal* journal, const std::string& line, const std::string& problem) {
    UndoItem* item = NewUndoItem(UNDO_DAMAGED, UNDO_DELETE, "");
    item->problem = problem;
    item->data = line;
    AddUndoItem(journal, item);
}

bool ReadHeader(LogReader* reader, const json& j, std::string* problem) {
    std::string format;
    uint64_t version = 0;
    if (!j.is_object() || !Text(j, "format", &format) || format != kJournalFormatName) {
        *problem = "the manifest is not an undo journal";
        return false;
    }
    if (!Number(j, "version", &version) || version != UNDO_FORMAT_VERSION) {
        *problem = "the manifest's version is not one this program reads";
        return false;
    }
    if (!Text(j, "created", &reader->journal->created) || !Text(j, "dataFile", &reader->journal->dataFile)) {
        *problem = "the manifest lacks its header fields";
        return false;
    }
    reader->journal->version = UNDO_FORMAT_VERSION;
    reader->started = true;
    return true;
}

void ReadItemRecord(LogReader* reader, const json& j, const std::string& line) {
    uint64_t number = 0;
    if (!Number(j, "number", &number) || reader->numbered.count(number)) {
        AddDamaged(reader->journal, line, "an item without a number of its own");
        return;
    }
    UndoItem* item = ReadItem(j);
    item->inDoubt = item->kind != UNDO_DAMAGED;
    AddUndoItem(reader->journal, item);
    reader->numbered[number] = LogReader::Numbered{item, false};
}

void ReadOutcome(LogReader* reader, const json& j, bool done) {
    uint64_t number = 0;
    if (!Number(j, "number", &number)) return;
    auto found = reader->numbered.find(number);
    if (found == reader->numbered.end()) return;
    UndoItem* item = found->second.item;
    if (!done) {
        found->second.dropped = true;
        return;
    }
    // A cut is put back only while the file is as it left it: without that,
    // the item stays in doubt.
    if (item->kind == UNDO_FILE && item->change == UNDO_CUT &&
        !(Number(j, "afterSize", &item->afterSize) && Number(j, "afterWritten", &item->afterWritten)))
        return;
    if (item->kind == UNDO_FILE) Text(j, "scheduled", &item->scheduled);
    item->inDoubt = false;
}

}  // namespace

std::string LogHeaderLine(const Journal& journal) {
    return Line(json{{"format", std::string(kJournalFormatName)},
                     {"version", UNDO_FORMAT_VERSION},
                     {"created", journal.created},
                     {"dataFile", journal.dataFile}});
}

std::string LogItemLine(const UndoItem& item, unsigned number) {
    json j = ItemJson(item);
    j[kRecord] = "item";
    j["number"] = number;
    return Line(j);
}

std::string LogDoneLine(const UndoItem& item, unsigned number) {
    json j = {{kRecord, "done"}, {"number", number}};
    if (item.kind == UNDO_FILE && item.change == UNDO_CUT) {
        j["afterSize"] = item.afterSize;
        j["afterWritten"] = item.afterWritten;
    }
    // Known only once the change was tried: the operation left for the
    // next start of Windows.
    if (item.kind == UNDO_FILE && !item.scheduled.empty()) j["scheduled"] = item.scheduled;
    return Line(j);
}

std::string LogDroppedLine(unsigned number) { return Line(json{{kRecord, "dropped"}, {"number", number}}); }

std::string LogRestoredLine(const std::string& time) { return Line(json{{kRecord, "restored"}, {"time", time}}); }

std::string LogText(const Journal& journal) {
    std::string text = LogHeaderLine(journal);
    unsigned number = 0;
    for (const UndoItem* item = journal.items; item; item = item->next) {
        if (item->kind == UNDO_DAMAGED) {
            // Kept as it was read, for whoever looks later, and numbered no
            // more: read again, it stands for the same damaged item.
            text += Line(json{{kRecord, "damaged"}, {"problem", item->problem}, {"line", item->data}});
            continue;
        }
        ++number;
        text += LogItemLine(*item, number);
        if (!item->inDoubt) text += LogDoneLine(*item, number);
    }
    if (!journal.restored.empty()) text += LogRestoredLine(journal.restored);
    return text;
}

void BeginLog(LogReader* reader, Journal* journal) {
    reader->journal = journal;
    reader->started = false;
    reader->numbered.clear();
}

bool ReadLogLine(LogReader* reader, const std::string& text, std::string* problem) {
    std::string line = text;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    json j = json::parse(line, nullptr, false);
    if (!reader->started) {
        if (j.is_discarded()) {
            *problem = "the manifest is not JSON";
            return false;
        }
        return ReadHeader(reader, j, problem);
    }
    std::string record;
    if (j.is_discarded() || !j.is_object() || !Text(j, kRecord, &record)) {
        AddDamaged(reader->journal, line, "not a record");
    } else if (record == "item") {
        ReadItemRecord(reader, j, line);
    } else if (record == "done" || record == "dropped") {
        ReadOutcome(reader, j, record == "done");
    } else if (record == "restored") {
        Text(j, "time", &reader->journal->restored);
    } else if (record == "damaged") {
        std::string problem, kept;
        Text(j, "problem", &problem);
        Text(j, "line", &kept);
        AddDamaged(reader->journal, kept, problem.empty() ? "not a record" : problem);
    } else {
        AddDamaged(reader->journal, line, "not a record");
    }
    return true;
}

void EndLog(LogReader* reader) {
    for (auto& entry : reader->numbered)
        if (entry.second.dropped) Unlink(reader->journal, entry.second.item);
    reader->numbered.clear();
}

bool IsJournalLogHeader(const std::string& line) {
    json j = json::parse(line, nullptr, false);
    std::string format;
    uint64_t version = 0;
    return !j.is_discarded() && j.is_object() && Text(j, "format", &format) && format == kJournalFormatName &&
           Number(j, "version", &version) && version == UNDO_FORMAT_VERSION;
}

bool ParseJournalLog(const std::string& text, Journal* journal, std::string* problem) {
    LogReader reader;
    BeginLog(&reader, journal);
    // Only whole lines count: a last line without its line end was cut off
    // while it was written, and its change was never made.
    for (size_t start = 0;;) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;
        if (!ReadLogLine(&reader, text.substr(start, end - start), problem)) {
            EndLog(&reader);
            return false;
        }
        start = end + 1;
    }
    EndLog(&reader);
    if (reader.started) return true;
    *problem = "the manifest is not JSON";
    return false;
}
