#include <string.h>

#include "memory/enumerate_win.h"
#include "memory/process_calls_win.h"
#include "memory/process_items.h"
#include "memory/process_match.h"
#include "memory/process_record.h"
#include "memory/target_win.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/system_library_win.h"
#include "script/text_util.h"

Toolhelp9x g_toolhelp9x = {};

namespace {

template <class F>
bool Find(F* slot, const char* name) {
    *slot = reinterpret_cast<F>(GetProcAddress(g_toolhelp9x.kernel32, name));
    if (*slot) return true;
    ReportMessage(MSG_ERROR, "\r\nCould not find address of the function %s\r\n", name);
    return false;
}

bool LookUpToolhelp() {
    g_toolhelp9x.kernel32 = LoadSystemLibrary("kernel32.dll");
    if (!g_toolhelp9x.kernel32) {
        ReportMessage(MSG_ERROR, "\r\nCould not load library %s\r\n", "kernel32.dll");
        return false;
    }
    // Only the terminate pass calls RegisterServiceProcess, but a kernel32
    // without it is not one this enumeration knows.
    return Find(&g_toolhelp9x.registerServiceProcess, "RegisterServiceProcess") &&
           Find(&g_toolhelp9x.createSnapshot, "CreateToolhelp32Snapshot") &&
           Find(&g_toolhelp9x.process32First, "Process32First") &&
           Find(&g_toolhelp9x.process32Next, "Process32Next") &&
           Find(&g_toolhelp9x.module32First, "Module32First") && Find(&g_toolhelp9x.module32Next, "Module32Next") &&
           Find(&g_toolhelp9x.thread32First, "Thread32First") && Find(&g_toolhelp9x.thread32Next, "Thread32Next");
}

bool FirstModule(HANDLE snapshot, MODULEENTRY32* module) {
    memset(module, 0, sizeof *module);
    module->dwSize = sizeof *module;
    return g_toolhelp9x.module32First(snapshot, module) != FALSE;
}

// The executable's module: the one whose id the process entry names. A
// Toolhelp that does not keep module ids (that of the NT family, which a
// program told it runs on Windows 98 may meet) gives the process 0, and
// there the executable is the first module.
bool FindExecutable(HANDLE snapshot, DWORD moduleId, MODULEENTRY32* executable) {
    if (!FirstModule(snapshot, executable)) return false;
    if (moduleId == 0) return true;
    do {
        if (executable->th32ModuleID == moduleId) return true;
    } while (g_toolhelp9x.module32Next(snapshot, executable));
    return false;
}

void CheckLibraries(DWORD processId, const ProcessMemory* memory, HANDLE snapshot, const MODULEENTRY32& executable,
                    ProcessRecord* records, const ProcessStamp* stamp) {
    MODULEENTRY32 module;
    if (!FirstModule(snapshot, &module)) return;
    do {
        for (ProcessRecord* r = records; r; r = r->next) {
            if (!r->library || !EqualsIgnoreCase(r->library->name, module.szModule)) continue;
            uint64_t base = reinterpret_cast<uintptr_t>(module.hModule);
            r->library->base = base;
            CheckModule(processId, memory, base, executable.szModule, executable.szExePath, r, stamp);
        }
    } while (g_toolhelp9x.module32Next(snapshot, &module));
}

void CheckProcess9x(DWORD processId, DWORD moduleId, ProcessRecord* records) {
    HANDLE snapshot = g_toolhelp9x.createSnapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        uint32_t error = PlatformLastError();
        ReportMessage(MSG_ERROR, "\r\nCouldn't find the process module\r\n");
        RecordProcessNotExamined(processId, "its modules could not be enumerated", error);
        return;
    }
    HANDLE process = g_processCalls->open(PROCESS_FULL_ACCESS, processId);
    if (!process) {
        uint32_t error = PlatformLastError();
        ReportMessage(MSG_NO_LIST | MSG_INFO, "\r\nCould not open process. Process ID: %d\r\n",
                      static_cast<int>(processId));
        RecordProcessNotExamined(processId, "could not be opened", error);
        CloseHandle(snapshot);
        return;
    }
    MODULEENTRY32 executable;
    if (FindExecutable(snapshot, moduleId, &executable)) {
        ProcessMemory memory = HandleProcessMemory(process, sizeof(void*));
        // Every process of the family runs as the one user there is.
        ProcessStamp stamp = {g_processCalls->creationTime(process), 0};
        uint64_t base = reinterpret_cast<uintptr_t>(executable.hModule);
        bool anyLibrary = false;
        for (ProcessRecord* r = records; r; r = r->next) {
            if (r->library)
                anyLibrary = true;
            else
                CheckModule(processId, &memory, base, executable.szModule, executable.szExePath, r, &stamp);
        }
        if (anyLibrary) CheckLibraries(processId, &memory, snapshot, executable, records, &stamp);
    }
    CloseHandle(snapshot);
    CloseHandle(process);
}

}  // namespace

bool Enumerate9x(ProcessRecord* records) {
    if (!LookUpToolhelp()) return false;
    HANDLE snapshot = g_toolhelp9x.createSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        ReportMessage(MSG_ERROR, "\r\nCouldn't enumerate processes\r\n");
        return false;
    }
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    if (!g_toolhelp9x.process32First(snapshot, &entry)) {
        CloseHandle(snapshot);
        return false;
    }
    do CheckProcess9x(entry.th32ProcessID, entry.th32ModuleID, records);
    while (g_toolhelp9x.process32Next(snapshot, &entry));
    CloseHandle(snapshot);
    return true;
}

void Release9xApis() {
    if (g_toolhelp9x.kernel32) FreeLibrary(g_toolhelp9x.kernel32);
    g_toolhelp9x = Toolhelp9x{};
}
