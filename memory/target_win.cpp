#include "memory/target_win.h"

#include <string.h>

#include "memory/system_api_win.h"
#include "script/system_library_win.h"

namespace {

bool Wow64(HANDLE process, bool* answer) {
    if (!g_processApi.wow64Looked) {
        CachedEntry(&g_processApi.isWow64Process, ApiKernel32(), "IsWow64Process");
        g_processApi.wow64Looked = true;
    }
    BOOL wow64 = FALSE;
    if (!g_processApi.isWow64Process || !g_processApi.isWow64Process(process, &wow64)) return false;
    *answer = wow64 != FALSE;
    return true;
}

bool Fits(uint64_t address, size_t size) {
    return address <= UINTPTR_MAX && size <= UINTPTR_MAX - static_cast<uintptr_t>(address);
}

bool ReadRemote(void* handle, uint64_t address, void* buffer, size_t size) {
    if (!Fits(address, size)) return false;
    SIZE_T got = 0;
    return ReadProcessMemory(handle, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), buffer, size,
                             &got) &&
           got == size;
}

bool WriteRemote(void* handle, uint64_t address, const void* bytes, size_t size) {
    if (!Fits(address, size)) return false;
    SIZE_T put = 0;
    return WriteProcessMemory(handle, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(address)), bytes, size,
                              &put) &&
           put == size;
}

bool RegionEnd(void* handle, uint64_t address, uint64_t* end) {
    if (!Fits(address, 0)) return false;
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQueryEx(handle, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), &region, sizeof region) !=
        sizeof region)
        return false;
    *end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    return true;
}

bool HasPath(const char* name) { return strchr(name, '\\') || strchr(name, '/') || strchr(name, ':'); }

// A PATCH's library: the module of that name already in this program, else
// the system folder's; a name with a path is loaded from there. A bare name
// is never searched for beside the program, where anyone who can write
// there could plant a library that then runs with the administrator's
// rights.
HMODULE LoadPatchLibrary(const char* name) {
    if (HasPath(name)) return LoadLibraryA(name);
    return LoadSystemLibrary(name);
}

// Our own address of the function, which is the target's for the system
// libraries every process of this bitness loads at the same place.
bool OwnFunctionAddress(void* handle, const char* dll, const char* function, uint64_t* address) {
    HMODULE library = LoadPatchLibrary(dll);
    if (!library) return false;
    FARPROC entry = GetProcAddress(library, function);
    if (entry) *address = reinterpret_cast<uintptr_t>(entry);
    FreeLibrary(library);
    return entry != nullptr;
}

// A process of the other bitness has its own copies of the system
// libraries: none of our addresses holds there.
bool NoFunctionAddress(void*, const char*, const char*, uint64_t*) { return false; }

}  // namespace

TargetBitness BitnessOf(HANDLE process) {
    bool wow64 = false;
#if UINTPTR_MAX > 0xFFFFFFFFu
    // Every 64-bit Windows can answer; a handle that may not ask is taken
    // for the kind no code is ever copied into.
    if (!Wow64(process, &wow64)) return TARGET_32_ON_64;
    return wow64 ? TARGET_32_ON_64 : TARGET_NATIVE;
#else
    // Without IsWow64Process there is no WOW64: every process is 32-bit.
    if (!Wow64(process, &wow64)) return TARGET_NATIVE;
    bool selfWow64 = false;
    if (wow64 || !Wow64(GetCurrentProcess(), &selfWow64) || !selfWow64) return TARGET_NATIVE;
    return TARGET_64_FROM_32;
#endif
}

ProcessMemory HandleProcessMemory(HANDLE process, uint32_t addressSize) {
    bool native = addressSize == sizeof(void*);
    return ProcessMemory{process, ReadRemote, WriteRemote, RegionEnd,
                         native ? OwnFunctionAddress : NoFunctionAddress, addressSize};
}
