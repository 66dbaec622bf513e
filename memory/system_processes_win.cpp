#include <windows.h>
#include <stdlib.h>

#include "memory/system_api_win.h"
#include "memory/system_processes_win.h"
#include "report/message.h"

namespace {

const uint32_t kFirstSize = 32768;
const uint32_t kLargestSize = 64u << 20;

// The next entry of the chain, or null at its end or where an entry would
// lie outside the buffer.
const SystemProcess* NextEntry(const SystemProcess* entry, const SystemProcessList* list) {
    if (entry->nextEntryOffset == 0) return nullptr;
    size_t at = reinterpret_cast<const unsigned char*>(entry) - list->bytes + entry->nextEntryOffset;
    if (at + sizeof(SystemProcess) > list->size) return nullptr;
    return reinterpret_cast<const SystemProcess*>(list->bytes + at);
}

const SystemProcess* FirstEntry(const SystemProcessList* list) {
    if (list->size < sizeof(SystemProcess)) return nullptr;
    return reinterpret_cast<const SystemProcess*>(list->bytes);
}

// Where the thread entries begin: NT 4 keeps a shorter process entry.
uint32_t ThreadsOffset() {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return THREADS_AT_64;
#else
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    static_assert(sizeof version == 148, "OSVERSIONINFOA is 148 bytes");
    if (GetVersionExA(&version) && version.dwMajorVersion < 5) return THREADS_AT_NT4_32;
    return THREADS_AT_32;
#endif
}

}  // namespace

bool QuerySystemProcesses(SystemProcessList* list) {
    list->bytes = nullptr;
    list->size = 0;
    ZwQuerySystemInformationFn query =
        CachedEntry(&g_processApi.zwQuerySystemInformation, ApiNtdll(), "ZwQuerySystemInformation");
    if (!query) {
        ReportMessage(MSG_VERBOSE | MSG_INFO, "\r\nCouldn't load ZwQuerySystemInformation\r\n");
        return false;
    }
    for (uint32_t size = kFirstSize; size <= kLargestSize; size *= 2) {
        unsigned char* bytes = static_cast<unsigned char*>(malloc(size));
        if (!bytes) return false;
        LONG status = query(SYSTEM_PROCESS_INFORMATION_CLASS, bytes, size, nullptr);
        if (status >= 0) {
            list->bytes = bytes;
            list->size = size;
            return true;
        }
        free(bytes);
        if (status != kStatusInfoLengthMismatch) return false;
    }
    return false;
}

void FreeSystemProcesses(SystemProcessList* list) {
    free(list->bytes);
    list->bytes = nullptr;
    list->size = 0;
}

const SystemProcess* FindSystemProcess(uint32_t processId, const SystemProcessList* list) {
    for (const SystemProcess* p = FirstEntry(list); p; p = NextEntry(p, list))
        if (static_cast<uint32_t>(p->uniqueProcessId) == processId) return p;
    return nullptr;
}

int32_t ListProcessIds(uint32_t* ids, int32_t room) {
    SystemProcessList list;
    if (!QuerySystemProcesses(&list)) return -1;
    int32_t count = 0;
    for (const SystemProcess* p = FirstEntry(&list); p && count < room; p = NextEntry(p, &list))
        ids[count++] = static_cast<uint32_t>(p->uniqueProcessId);
    FreeSystemProcesses(&list);
    return count;
}

const SystemThread* ThreadsOf(const SystemProcess* process, const SystemProcessList* list, uint32_t* count) {
    size_t at = reinterpret_cast<const unsigned char*>(process) - list->bytes + ThreadsOffset();
    size_t fit = at <= list->size ? (list->size - at) / sizeof(SystemThread) : 0;
    *count = process->numberOfThreads < fit ? process->numberOfThreads : static_cast<uint32_t>(fit);
    return reinterpret_cast<const SystemThread*>(list->bytes + at);
}
