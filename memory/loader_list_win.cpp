#include "memory/loader_list_win.h"

#include <string.h>

#include "memory/nt_layouts.h"
#include "memory/system_api_win.h"

namespace {

// A damaged list in another process must not hold the pass: no walk visits
// more entries than a module list may hold.
const int32_t kWalkBound = MAX_MODULES;
const uint32_t kLongestName = 1024;  // bytes of UTF-16

struct NameRef {
    uint16_t maximumLength;
    uint64_t buffer;
};

struct Entry {
    uint64_t next;
    uint64_t dllBase;
    NameRef fullName;
    NameRef baseName;
};

bool Read(const LoaderList* list, uint64_t address, void* buffer, size_t size) {
    if (address > UINTPTR_MAX) return false;
    SIZE_T got = 0;
    return ReadProcessMemory(list->process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), buffer, size,
                             &got) &&
           got == size;
}

bool ReadLink(const LoaderList* list, uint64_t address, uint64_t* link) {
    if (list->wide) return Read(list, address, link, 8);
    uint32_t link32 = 0;
    if (!Read(list, address, &link32, 4)) return false;
    *link = link32;
    return true;
}

// The entry whose in-memory-order link is at link.
bool ReadEntry(const LoaderList* list, uint64_t link, Entry* entry) {
    if (list->wide) {
        LdrEntry64 e;
        if (!Read(list, link - offsetof(LdrEntry64, inMemoryOrder), &e, sizeof e)) return false;
        *entry = Entry{e.inMemoryOrder[0], e.dllBase, {e.fullDllName.maximumLength, e.fullDllName.buffer},
                       {e.baseDllName.maximumLength, e.baseDllName.buffer}};
    } else {
        LdrEntry32 e;
        if (!Read(list, link - offsetof(LdrEntry32, inMemoryOrder), &e, sizeof e)) return false;
        *entry = Entry{e.inMemoryOrder[0], e.dllBase, {e.fullDllName.maximumLength, e.fullDllName.buffer},
                       {e.baseDllName.maximumLength, e.baseDllName.buffer}};
    }
    return true;
}

bool ReadName(const LoaderList* list, const NameRef& ref, char* name) {
    if (ref.maximumLength > kLongestName) return false;
    uint16_t units[kLongestName / 2];
    if (!Read(list, ref.buffer, units, ref.maximumLength)) return false;
    uint32_t count = ref.maximumLength / 2;
    if (count > MODULE_NAME_SIZE - 1) count = MODULE_NAME_SIZE - 1;
    for (uint32_t i = 0; i < count; ++i) name[i] = static_cast<char>(units[i] & 0xFF);
    name[count] = 0;
    return name[0] != 0;
}

bool QueryBasic(HANDLE process, ULONG infoClass, void* buffer, ULONG size) {
    ZwQueryInformationProcessFn query =
        CachedEntry(&g_processApi.zwQueryInformationProcess, ApiNtdll(), "ZwQueryInformationProcess");
    return query && query(process, infoClass, buffer, size, nullptr) >= 0;
}

bool OpenNarrow(HANDLE process, uint64_t peb, LoaderList* list) {
    Peb32 block;
    LoaderList narrow = {process, false, 0};
    if (!peb || !Read(&narrow, peb, &block, sizeof block)) return false;
    *list = LoaderList{process, false, static_cast<uint64_t>(block.ldrData) + offsetof(LdrData32, inMemoryOrder)};
    return true;
}

}  // namespace

bool OpenLoaderList(HANDLE process, TargetBitness bitness, LoaderList* list) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    if (bitness == TARGET_32_ON_64) {
        // The 32-bit process's own environment block, at its 32-bit layout,
        // as ProcessWow64Information names it. A WOW64 that answers only a
        // flag there (Wine's) leaves the process unread.
        ULONG_PTR peb32 = 0;
        return QueryBasic(process, PROCESS_WOW64_INFORMATION_CLASS, &peb32, sizeof peb32) && peb32 >= 0x10000 &&
               OpenNarrow(process, peb32, list);
    }
    ProcessBasicInfo64 basic;
    if (!QueryBasic(process, PROCESS_BASIC_INFORMATION_CLASS, &basic, sizeof basic)) return false;
    Peb64 block;
    LoaderList wide = {process, true, 0};
    if (!basic.pebBaseAddress || !Read(&wide, basic.pebBaseAddress, &block, sizeof block)) return false;
    *list = LoaderList{process, true, block.ldrData + offsetof(LdrData64, inMemoryOrder)};
    return true;
#else
    if (bitness == TARGET_64_FROM_32) return false;
    ProcessBasicInfo32 basic;
    if (!QueryBasic(process, PROCESS_BASIC_INFORMATION_CLASS, &basic, sizeof basic)) return false;
    return OpenNarrow(process, basic.pebBaseAddress, list);
#endif
}

int32_t ListModules(const LoaderList* list, uint64_t* bases) {
    uint64_t link = 0;
    if (!ReadLink(list, list->head, &link)) return -1;
    int32_t count = 0;
    while (link != list->head && count < MAX_MODULES) {
        Entry entry;
        if (!ReadEntry(list, link, &entry)) return -1;
        bases[count++] = entry.dllBase;
        link = entry.next;
    }
    return count;
}

bool GetModuleName(const LoaderList* list, uint64_t base, char* name, bool fullPath) {
    uint64_t link = 0;
    if (!ReadLink(list, list->head, &link)) return false;
    for (int32_t visited = 0; link != list->head && visited < kWalkBound; ++visited) {
        Entry entry;
        if (!ReadEntry(list, link, &entry)) return false;
        if (entry.dllBase == base) return ReadName(list, fullPath ? entry.fullName : entry.baseName, name);
        link = entry.next;
    }
    return false;
}
