#include <string.h>

#include "memory/nt_layouts.h"
#include "memory/remote_routines_win.h"
#include "memory/system_api_win.h"
#include "memory/thread_control_win.h"
#include "script/text_util.h"

namespace {

// Built as "not run": the release routine clears it when it starts.
const uint32_t kNotRun = 0xFFFFFFFFu;

bool FillBlock(RemoteBlock* block, const char* libraryName) {
    memset(block, 0, sizeof *block);
    block->status = kNotRun;
    // Our own kernel32 addresses: the target has kernel32 at the same place.
    HMODULE kernel32 = ApiKernel32();
    if (libraryName) {
        FARPROC getModule = GetProcAddress(kernel32, "GetModuleHandleA");
        FARPROC freeLibrary = GetProcAddress(kernel32, "FreeLibrary");
        if (!getModule || !freeLibrary) return false;
        block->getModuleHandle = reinterpret_cast<uintptr_t>(getModule);
        block->freeLibrary = reinterpret_cast<uintptr_t>(freeLibrary);
        CopyBounded(block->libraryName, sizeof block->libraryName, libraryName);
    } else {
        FARPROC exitProcess = GetProcAddress(kernel32, "ExitProcess");
        if (!exitProcess) return false;
        block->exitProcess = reinterpret_cast<uintptr_t>(exitProcess);
    }
    return true;
}

bool Put(HANDLE process, void* at, const void* bytes, size_t size) {
    SIZE_T put = 0;
    return WriteProcessMemory(process, at, bytes, size, &put) && put == size;
}

// Runs one routine in the target; libraryName null means the exit routine.
// Its blocks are released once the thread has ended, or when it never
// started; a routine that outlives the wait fails with WAIT_TIMEOUT.
bool RemoteCall(HANDLE process, const char* libraryName) {
    HMODULE kernel32 = ApiKernel32();
    VirtualAllocExFn allocate = CachedEntry(&g_processApi.virtualAllocEx, kernel32, "VirtualAllocEx");
    VirtualFreeExFn release = CachedEntry(&g_processApi.virtualFreeEx, kernel32, "VirtualFreeEx");
    CreateRemoteThreadFn start = CachedEntry(&g_processApi.createRemoteThread, kernel32, "CreateRemoteThread");
    if (!kernel32 || !allocate || !release || !start) return false;

    void* code = allocate(process, nullptr, REMOTE_CODE_SIZE, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    void* parameters = allocate(process, nullptr, sizeof(RemoteBlock), MEM_COMMIT, PAGE_READWRITE);
    HANDLE thread = nullptr;
    bool ok = false;
    RemoteBlock block;
    if (code && parameters && FillBlock(&block, libraryName) &&
        Put(process, code, libraryName ? kRemoteReleaseCode : kRemoteExitCode, REMOTE_CODE_SIZE) &&
        Put(process, parameters, &block, sizeof block)) {
        thread = start(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(code), parameters, 0, nullptr);
    }
    if (thread) {
        DWORD waited = WaitForSingleObject(thread, 10000);
        uint32_t error = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
        if (waited == WAIT_OBJECT_0) {
            SIZE_T got = 0;
            ok = !libraryName || (ReadProcessMemory(process, parameters, &block, sizeof block, &got) &&
                                  got == sizeof block && block.status == 0);
        }
        CloseHandle(thread);
        if (waited != WAIT_OBJECT_0) {
            // The routine may still be running (held in a library's
            // DllMain, say) and will read its code and block when it goes
            // on: they stay in the target, a few KB, rather than be freed
            // from under it.
            SetLastError(error);
            return false;
        }
    }
    if (code) release(process, code, 0, MEM_RELEASE);
    if (parameters) release(process, parameters, 0, MEM_RELEASE);
    return ok;
}

}  // namespace

bool RemoteRelease(HANDLE process, const char* libraryName) { return RemoteCall(process, libraryName); }

bool RemoteExit(HANDLE process) { return RemoteCall(process, nullptr); }
