#include "memory/thread_open_win.h"

#include "memory/system_api_win.h"

HANDLE ZwOpenThreadById(uint32_t threadId, ACCESS_MASK access) {
    ZwOpenThreadFn open = CachedEntry(&g_processApi.zwOpenThread, ApiNtdll(), "ZwOpenThread");
    if (!open) return nullptr;
    // An all-zero OBJECT_ATTRIBUTES and a client id naming the thread only.
    alignas(void*) unsigned char attributes[sizeof(void*) == 8 ? 48 : 24] = {};
    NtClientId client = {nullptr, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(threadId))};
    HANDLE thread = nullptr;
    if (open(&thread, access, attributes, &client) < 0) return nullptr;
    return thread;
}

HANDLE OpenThreadById(uint32_t threadId, ACCESS_MASK access) {
    if (g_processApi.openThread) return g_processApi.openThread(access, FALSE, threadId);
    return ZwOpenThreadById(threadId, access);
}
