// The known library of the memory target: its threads run here, pump their
// message queues, tick a counter and keep a signature on their stacks; its
// detach tells whether the process exited or the library was released.
#include "target_common.h"

#include <stdlib.h>

static volatile LONG g_ticks;
static volatile LONG g_queues;  // threads whose message queue exists

extern "C" __declspec(dllexport) void TargetSetReportPath(const char* path) {
    lstrcpynA(g_reportPath, path, sizeof g_reportPath);
}

extern "C" __declspec(dllexport) volatile LONG* TargetTicks() { return &g_ticks; }
extern "C" __declspec(dllexport) LONG TargetQueues() { return g_queues; }

extern "C" __declspec(dllexport) DWORD WINAPI TargetThread(LPVOID) {
    volatile unsigned char signature[16] = TARGET_STACK_SIGNATURE;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    InterlockedIncrement(&g_queues);
    for (;;) {
        InterlockedIncrement(&g_ticks);
        if (signature[0] != 0x53) break;
        Pump();
        Sleep(20);
    }
    return 0;
}

// Milliseconds an unload is held in DllMain, from TARGET_DETACH_DELAY in
// the target's environment: what a library that is slow to let go does to
// a routine that releases it from outside.
static DWORD g_detachDelay;

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        char delay[16];
        DWORD length = GetEnvironmentVariableA(TARGET_DETACH_DELAY, delay, sizeof delay);
        if (length > 0 && length < sizeof delay) g_detachDelay = strtoul(delay, nullptr, 10);
    }
    if (reason == DLL_PROCESS_DETACH && !reserved && g_detachDelay) {
        Append("detach held\r\n");
        Sleep(g_detachDelay);
    }
    if (reason == DLL_PROCESS_DETACH) Append(reserved ? "detach exit\r\n" : "detach unloaded\r\n");
    return TRUE;
}
