#include <stdlib.h>
#include <string.h>

#include "memory/enumerate_win.h"
#include "memory/loader_list_win.h"
#include "memory/process_calls_win.h"
#include "memory/process_items.h"
#include "memory/process_match.h"
#include "memory/process_record.h"
#include "memory/system_processes_win.h"
#include "memory/target_win.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/pattern_record.h"
#include "script/text_util.h"

namespace {

enum { MAX_PROCESS_IDS = 1024 };

// The idle and system processes of the NT versions.
bool IsSystemProcessId(uint32_t id) { return id == 0 || id == 2 || id == 4 || id == 8; }

struct OpenProcessView {
    uint32_t id;
    HANDLE handle;
    ProcessMemory memory;
    LoaderList loader;
    uint64_t* bases;
    int32_t moduleCount;
    char executableName[MODULE_NAME_SIZE];
    char executablePath[MODULE_NAME_SIZE];
    ProcessStamp stamp;
};

// The first module after the executable whose base name is one of the two
// names; its image size and base go to the library that the ACTION names,
// else to the record's own.
bool FindLibrary(OpenProcessView* view, ProcessRecord* record, uint64_t* libraryBase) {
    LibraryRef* actionLibrary = record->action ? record->action->library : nullptr;
    char name[MODULE_NAME_SIZE];
    for (int32_t i = 1; i < view->moduleCount; ++i) {
        memcpy(name, "unknown", 8);
        if (!GetModuleName(&view->loader, view->bases[i], name, false)) continue;
        bool fits = (actionLibrary && EqualsIgnoreCase(actionLibrary->name, name)) ||
                    (record->library && EqualsIgnoreCase(record->library->name, name));
        if (!fits) continue;
        uint64_t size = 0;
        if (ReadImageValue(&view->memory, view->bases[i], ORIGIN_END, &size)) {
            LibraryRef* target = actionLibrary ? actionLibrary : record->library;
            target->base = view->bases[i];
            target->size = size;
        }
        *libraryBase = view->bases[i];
        return true;
    }
    return false;
}

void CheckRecords(OpenProcessView* view, ProcessRecord* records) {
    for (ProcessRecord* r = records; r; r = r->next) {
        bool actionLibrary = r->action && r->action->library;
        if (!r->library && !actionLibrary) {
            CheckModule(view->id, &view->memory, view->bases[0], view->executableName, view->executablePath, r,
                        &view->stamp);
            continue;
        }
        uint64_t libraryBase = 0;
        if (!FindLibrary(view, r, &libraryBase)) continue;
        uint64_t base = r->library ? libraryBase : view->bases[0];
        if (CheckModule(view->id, &view->memory, base, view->executableName, view->executablePath, r,
                        &view->stamp) &&
            actionLibrary)
            g_actionsPending = 1;
    }
}

// Whether a record may restart what it matches: only then is the account
// of each process read.
bool AnyRestart(const ProcessRecord* records) {
    for (const ProcessRecord* r = records; r; r = r->next)
        if (r->isProcess && KeywordIs(r, "restart")) return true;
    return false;
}

void CheckProcessNT(uint32_t id, ProcessRecord* records, uint64_t* bases, bool readAccount) {
    HANDLE process = g_processCalls->open(PROCESS_FULL_ACCESS, id);
    if (!process) {
        uint32_t error = PlatformLastError();
        ReportMessage(MSG_NO_LIST | MSG_INFO, "\r\nCould not open process. Process ID: %d\r\n", static_cast<int>(id));
        RecordProcessNotExamined(id, "could not be opened", error);
        return;
    }
    TargetBitness bitness = BitnessOf(process);
    if (bitness == TARGET_64_FROM_32) {
        // Its memory, modules and threads are out of this program's reach.
        ReportMessage(MSG_NO_LIST | MSG_INFO,
                      "\r\nCould not examine 64-bit process. Process ID: %d. Run the 64-bit build (mendrix.exe of "
                      "the win64 folder) to clean it\r\n",
                      static_cast<int>(id));
        RecordProcessNotExamined(id, "a 64-bit process: the 64-bit build (mendrix.exe of the win64 folder) examines it",
                                 0);
        CloseHandle(process);
        return;
    }
    OpenProcessView view;
    view.id = id;
    view.handle = process;
    view.memory = HandleProcessMemory(process, bitness == TARGET_NATIVE ? sizeof(void*) : 4);
    view.bases = bases;
    view.moduleCount = -1;
    view.stamp.creationTime = g_processCalls->creationTime(process);
    view.stamp.otherAccount = readAccount && !g_processCalls->sameAccount(process);
    if (OpenLoaderList(process, bitness, &view.loader)) view.moduleCount = ListModules(&view.loader, bases);
    if (view.moduleCount < 0) {
        uint32_t error = PlatformLastError();
        ReportMessage(MSG_INFO, "\r\nCould not enumerate modules for process ID: %d\r\n", static_cast<int>(id));
        RecordProcessNotExamined(id, "its modules could not be enumerated", error);
    }
    if (view.moduleCount <= 0) {
        CloseHandle(process);
        return;
    }
    memcpy(view.executableName, "unknown", 8);
    memcpy(view.executablePath, "unknown", 8);
    if (GetModuleName(&view.loader, bases[0], view.executableName, false) &&
        GetModuleName(&view.loader, bases[0], view.executablePath, true))
        CheckRecords(&view, records);
    CloseHandle(process);
}

}  // namespace

bool EnumerateNT(ProcessRecord* records) {
    uint32_t* ids = static_cast<uint32_t*>(malloc(MAX_PROCESS_IDS * sizeof(uint32_t)));
    uint64_t* bases = static_cast<uint64_t*>(malloc(MAX_MODULES * sizeof(uint64_t)));
    int32_t count = (ids && bases) ? ListProcessIds(ids, MAX_PROCESS_IDS) : -1;
    bool readAccount = AnyRestart(records);
    for (int32_t i = 0; i < count; ++i)
        if (!IsSystemProcessId(ids[i])) CheckProcessNT(ids[i], records, bases, readAccount);
    free(ids);
    free(bases);
    return count >= 0;
}
