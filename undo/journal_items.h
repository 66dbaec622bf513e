// The items of the journal as JSON, shared by the version-1 manifest and the
// version-2 log: both write an item's fields the same way.
#pragma once
#include <stdint.h>

#include <string>

#include "script/json.h"
#include "undo/journal.h"

extern const char kJournalFormatName[];  // "mendrix-undo-journal"

namespace undo_json {
std::string Hex(const std::string& bytes);
bool Unhex(const std::string& text, std::string* bytes);
// Field readers: each answers false when the field is missing or of another
// type (or not hex), and leaves the output alone then.
bool Text(const nlohmann::json& j, const char* name, std::string* out);
bool Number(const nlohmann::json& j, const char* name, uint64_t* out);
bool Number32(const nlohmann::json& j, const char* name, uint32_t* out);
bool HexField(const nlohmann::json& j, const char* name, std::string* out);
}  // namespace undo_json

// An item's fields; a damaged item has none of its own.
nlohmann::json ItemJson(const UndoItem& item);
// Reads an item; one that cannot be read comes back as UNDO_DAMAGED with its
// problem and its text.
UndoItem* ReadItem(const nlohmann::json& j);

// Whether a line is the first line of a version-2 log.
bool IsJournalLogHeader(const std::string& line);
// Reads a whole version-2 log (journal_log.h reads it a line at a time).
bool ParseJournalLog(const std::string& text, Journal* journal, std::string* problem);
