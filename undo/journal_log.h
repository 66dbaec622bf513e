// The journal as a write-ahead log (version 2, docs/undo-journal.md): one
// JSON object a line, appended while the run goes on. An item's record is on
// disk before its change is made and says all there is to put it back; a
// second, small record says the change was made (or failed). A run cut off
// at any moment leaves every line whole but perhaps the last, which the
// reader passes over.
#pragma once
#include <stdint.h>

#include <map>
#include <string>

#include "undo/journal.h"

// The first line: the format, its version, when the run started and its
// data file.
std::string LogHeaderLine(const Journal& journal);
// An item, under its number: the items of a journal count from 1.
std::string LogItemLine(const UndoItem& item, unsigned number);
// The change was made; a cut also says what it left of the file.
std::string LogDoneLine(const UndoItem& item, unsigned number);
// The change failed: nothing is to be put back.
std::string LogDroppedLine(unsigned number);
// -undo put the journal back at that time ("YYYY-MM-DD HH:MM:SS").
std::string LogRestoredLine(const std::string& time);
// The whole log of a journal as it reads: its items, done unless in doubt.
std::string LogText(const Journal& journal);

// Reading a log a line at a time.
struct LogReader {
    Journal* journal;
    bool started;  // the header was read
    struct Numbered {
        UndoItem* item;
        bool dropped;
    };
    std::map<uint64_t, Numbered> numbered;
};

void BeginLog(LogReader* reader, Journal* journal);
// One whole line, without its line end. The first must be the header:
// false, with the reason, when it is not. A later line that is no record
// becomes a damaged item.
bool ReadLogLine(LogReader* reader, const std::string& line, std::string* problem);
// Takes the items of failed changes out; an item with no record of its
// change is left in doubt.
void EndLog(LogReader* reader);
