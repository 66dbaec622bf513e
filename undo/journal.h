// The undo journal of one run: what each change took away, in the order the
// changes were made. Written as the manifest (see docs/undo-journal.md) in
// the run's journal folder, beside the saved copies of changed files.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

enum { UNDO_FORMAT_VERSION = 1 };

enum UndoKind {
    UNDO_FILE,
    UNDO_REGISTRY_VALUE,
    UNDO_REGISTRY_KEY,
    UNDO_INI_ENTRY,
    UNDO_SERVICE,
    UNDO_DAMAGED,  // an item the reader could not make sense of
};

enum UndoChange { UNDO_DELETE, UNDO_MOVE, UNDO_CUT, UNDO_RESET };

// A value of a deleted key, or a subkey when isKey is set. subkey is the
// path below the deleted key, empty for the key itself.
struct UndoKeyEntry {
    std::string subkey;
    bool isKey;
    std::string name;
    uint32_t type;
    std::string data;
};

struct UndoService {
    std::string displayName;
    std::string binaryPath;
    std::string loadOrderGroup;
    std::string account;
    std::vector<std::string> dependencies;
    uint32_t serviceType;
    uint32_t startType;
    uint32_t errorControl;
};

struct UndoItem {
    UndoKind kind;
    UndoChange change;
    // The file's path, the key's path below root, the INI file, or the
    // service's name.
    std::string path;
    std::string destination;  // where a file was moved to
    std::string saved;        // name of the saved copy in the journal folder
    uint32_t attributes;
    uint64_t size, created, accessed, written;  // FILETIME values
    // A cut file as the cut left it: it is put back only while it is so.
    uint64_t afterSize, afterWritten;
    // A file in use, deleted or moved by Windows when it next starts: the
    // pending operation as it was written; empty for a change made at once.
    std::string scheduled;
    uint32_t root;
    std::string section;  // INI entries
    std::string name;     // registry value or INI entry
    uint32_t type;
    std::string data;  // the old data or INI text
    bool hasNewData;   // a reset: what the change put in its place
    uint32_t newType;
    std::string newData;
    std::vector<UndoKeyEntry> keyEntries;
    UndoService service;
    std::string problem;  // why a damaged item could not be read
    UndoItem* next;
};

struct Journal {
    int version;
    std::string created;   // "YYYY-MM-DD HH:MM:SS", local time
    std::string dataFile;  // the data file the run read, or "(built in)"
    std::string restored;  // when it was put back; empty until then
    UndoItem* items;
    UndoItem* last;
};

struct JournalTime {
    int year, month, day, hour, minute, second;
};

UndoItem* NewUndoItem(UndoKind kind, UndoChange change, const std::string& path);
// Appends the item to the end of the journal, which then owns it.
void AddUndoItem(Journal* journal, UndoItem* item);
void FreeJournalItems(Journal* journal);

// The manifest text of the journal.
std::string ManifestText(const Journal& journal);
// Reads a manifest. False, with the reason, when the text is not a manifest
// of a version this program knows; an item that cannot be read becomes an
// UNDO_DAMAGED item with its problem, and the others are read as usual.
bool ParseManifest(const std::string& text, Journal* journal, std::string* problem);

// The journal folder's name for a run started at the time:
// "YYYYMMDD-HHMMSS", with "-n" after it when attempt n > 0 (a second run in
// the same second).
std::string JournalFolderName(const JournalTime& time, int attempt);
// "YYYY-MM-DD HH:MM:SS".
std::string JournalTimeText(const JournalTime& time);
// Whether a folder name is one JournalFolderName makes.
bool IsJournalFolderName(const std::string& name);
// The latest of the folder names by the time they carry; empty when none is
// a journal folder.
std::string LatestJournalFolder(const std::vector<std::string>& names);
// The name of the n-th saved copy, from 1: "0001.sav".
std::string SavedCopyName(unsigned n);

// Saved copies are scrambled, so that nothing in the journal folder can be
// run or opened as what it was. The same call unscrambles. key carries the
// running key from one piece of a file to the next; it starts at
// UNDO_SCRAMBLE_START.
enum { UNDO_SCRAMBLE_START = 0xA5 };
void ScrambleBytes(char* bytes, size_t count, uint8_t* key);

// The items in the order they are put back: the last change first, so that
// a value comes back only after the key it lives in.
std::vector<const UndoItem*> RestoreOrder(const Journal& journal);

// One line of -undo=list, without its line end: the folder, the date, the
// data file and the counts by kind, and whether it was restored.
std::string JournalListLine(const std::string& folder, const Journal& journal);
// A short word for the kind in restore lines: "file", "registry value", ...
const char* UndoKindWord(UndoKind kind);
