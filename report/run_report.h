// What one run found, did, would have done and could not examine, kept item
// by item for the machine-readable run report, and the report-only switch
// every action site consults before it changes anything.
#pragma once
#include <stdarg.h>
#include <stdint.h>

// What an item is.
enum ItemKind {
    ITEM_FILE,
    ITEM_PROCESS,
    ITEM_THREAD,
    ITEM_LIBRARY,  // a library released from another process
    ITEM_REGISTRY_KEY,
    ITEM_REGISTRY_VALUE,
    ITEM_INI_ENTRY,
    ITEM_SERVICE,
    ITEM_SHARE,
    ITEM_COM_SERVER,
    ITEM_COMMAND,
    ITEM_KIND_COUNT
};

// What became of it.
enum ItemOutcome {
    OUTCOME_DONE,       // the action was carried out
    OUTCOME_FAILED,     // it was tried and failed; the item's error says why
    OUTCOME_WOULD,      // a report-only run: it would have been carried out
    OUTCOME_DECLINED,   // the user answered No
    OUTCOME_NOT_SAVED,  // left as it was: it could not be saved for undo
    OUTCOME_FOUND,      // found; its ACTION asks for no change
    OUTCOME_SCHEDULED,  // in use: Windows removes or moves it when it next starts
    OUTCOME_COUNT
};

struct ReportItem {
    ReportItem* next;
    int32_t kind;
    int32_t outcome;    // ItemOutcome; unused for an item not examined
    char* subject;      // path, key, process name, service, share, command
    char* matched;      // what of the data file matched it; may be empty
    char* action;       // the ACTION keyword or the work done; for an item not examined, why
    uint32_t error;     // the Windows error code of a failure, else 0
    uint32_t processId; // processes and threads; else 0
    uint32_t threadId;  // threads; else 0
};

// The run's items in the order they happened. Each list owns its items.
struct RunItems {
    ReportItem* items;
    ReportItem** itemsTail;
    ReportItem* notExamined;
    ReportItem** notExaminedTail;
    int32_t droppedItems;  // items lost to a shortage of memory
};
extern RunItems g_runItems;

// Empties both lists; called at the start and end of every run.
void FreeRunItems();

// Records one thing found or changed. Null texts are kept as empty ones.
void RecordItem(int32_t kind, const char* subject, const char* matched, const char* action, int32_t outcome,
                uint32_t error = 0, uint32_t processId = 0, uint32_t threadId = 0);
// Records one thing that could not be examined (a file that would not
// open for its pattern check, a process that would not open), and why.
void RecordNotExamined(int32_t kind, const char* subject, const char* reason, uint32_t error = 0,
                       uint32_t processId = 0);

// The facts of the run the report is about, filled as the run learns them.
struct RunFacts {
    const char* mode;           // "scan", "restoreShares" or "undo"
    int32_t platformCode;       // 8 NT family, 16 9x family, 0 not known
    uint32_t windowsMajor, windowsMinor, windowsBuild;
    char servicePack[128];
    int32_t wow64;              // a 32-bit program on 64-bit Windows
    int32_t started[6];         // year, month, day, hour, minute, second
    int32_t finished[6];
    int32_t result;
    int32_t dataError;          // the first fatal data-file error's code, or 0
    int32_t dataErrorLine;      // where the parser was then, or 0
    int32_t skipMode;           // the script's cleaning elements were skipped
    char undoJournal[260];      // the journal this run wrote or put back, or ""
    char computerName[64];      // the machine's name, or "" when not known
};
extern RunFacts g_runFacts;
void ResetRunFacts(const char* mode);

// The outcome for a change that was tried: done, or failed.
inline int32_t OutcomeOf(bool made) { return made ? OUTCOME_DONE : OUTCOME_FAILED; }

// True in a report-only run: every action site reports what it would do
// instead of doing it, and asks nothing.
bool ReportOnlyRun();

// The one line a report-only run writes in place of an action's own lines:
// "Would " and the formatted text, ending the line, at the information level.
void ReportWouldDo(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Formats into a new heap text; null when memory ran out.
char* FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The calling thread's last Windows error code (GetLastError), read right
// after the call that failed. The native stand-in answers g_fakeLastError.
uint32_t PlatformLastError();
extern uint32_t g_fakeLastError;

// The names the report gives kinds and outcomes.
const char* ItemKindName(int32_t kind);
const char* ItemOutcomeName(int32_t outcome);
