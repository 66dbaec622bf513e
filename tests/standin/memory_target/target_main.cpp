// A harmless process for the memory tests: it loads its own library, starts
// two threads there and one in itself, keeps known bytes at places it
// reports, pumps its message queue and reports every message it receives;
// named in TARGET_HOLD_FILE, it keeps a file open as a program in use would.
// Usage: memory_target.exe [report path]; without one it reports to
// memory_target.restarted beside itself.
#include "target_common.h"

__attribute__((used)) const char kTargetMarker[64] = TARGET_MARKER;
__attribute__((used)) volatile unsigned char g_patchSlot[32] = {1, 2, 3, 4};

typedef void (*SetPathFn)(const char*);

static DWORD WINAPI OwnThread(LPVOID) {
    for (;;) Sleep(50);
}

int main(int argc, char** argv) {
    char report[MAX_PATH];
    if (argc > 1) {
        lstrcpynA(report, argv[1], sizeof report);
    } else {
        GetModuleFileNameA(nullptr, report, sizeof report - 16);
        char* dot = strrchr(report, '.');
        if (dot) lstrcpyA(dot, ".restarted");
    }
    char libraryPath[MAX_PATH];
    GetModuleFileNameA(nullptr, libraryPath, sizeof libraryPath);
    char* slash = strrchr(libraryPath, '\\');
    lstrcpyA(slash ? slash + 1 : libraryPath, "target_lib.dll");
    HMODULE library = LoadLibraryA(libraryPath);
    if (!library) return 2;
    char held[MAX_PATH];
    DWORD heldLength = GetEnvironmentVariableA(TARGET_HOLD_FILE, held, sizeof held);
    if (heldLength > 0 && heldLength < sizeof held &&
        CreateFileA(held, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE)
        return 3;
    SetPathFn setPath = reinterpret_cast<SetPathFn>(GetProcAddress(library, "TargetSetReportPath"));
    LPTHREAD_START_ROUTINE thread = reinterpret_cast<LPTHREAD_START_ROUTINE>(GetProcAddress(library, "TargetThread"));
    typedef volatile LONG* (*TicksFn)();
    TicksFn ticks = reinterpret_cast<TicksFn>(GetProcAddress(library, "TargetTicks"));
    setPath(report);
    lstrcpynA(g_reportPath, report, sizeof g_reportPath);

    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    DWORD ids[3] = {};
    CreateThread(nullptr, 0, thread, nullptr, 0, &ids[0]);
    CreateThread(nullptr, 0, thread, nullptr, 0, &ids[1]);
    CreateThread(nullptr, 0, OwnThread, nullptr, 0, &ids[2]);
    // Ready only once both library threads can take a posted message: on a
    // busy machine they may not have run at all yet.
    typedef LONG (*QueuesFn)();
    QueuesFn queues = reinterpret_cast<QueuesFn>(GetProcAddress(library, "TargetQueues"));
    for (int waited = 0; queues && queues() < 2 && waited < 10000; waited += 10) Sleep(10);

    char line[1024];
    snprintf(line, sizeof line,
             "pid %lu\r\nmain %lu\r\nlibthreads %lu %lu\r\nownthread %lu\r\nexe %p\r\nmarker %p\r\nslot %p\r\n"
             "lib %p\r\nstart %p\r\nticks %p\r\nready\r\n",
             GetCurrentProcessId(), GetCurrentThreadId(), ids[0], ids[1], ids[2],
             static_cast<void*>(GetModuleHandleA(nullptr)), static_cast<const void*>(kTargetMarker),
             const_cast<unsigned char*>(g_patchSlot), static_cast<void*>(library), reinterpret_cast<void*>(thread),
             const_cast<LONG*>(ticks()));
    Append(line);
    for (;;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
}
