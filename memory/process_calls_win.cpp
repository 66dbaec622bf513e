#include "memory/process_calls_win.h"

#include "memory/system_api_win.h"

namespace {

HANDLE OpenById(DWORD access, uint32_t processId) { return OpenProcess(access, FALSE, processId); }

uint64_t CreationTimeOf(HANDLE process) {
    // Looked up at run time: the 32-bit program must load where kernel32
    // does not export it.
    GetProcessTimesFn times = CachedEntry(&g_processApi.getProcessTimes, ApiKernel32(), "GetProcessTimes");
    FILETIME created, exited, kernel, user;
    if (!times || !times(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

const ProcessCalls kSystemProcessCalls = {OpenById, CreationTimeOf, SameAccountAsOurs};
const ProcessCalls* g_processCalls = &kSystemProcessCalls;
