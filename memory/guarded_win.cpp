// The one guarded region of the program: a processor fault raised inside it
// (a thread that vanished under a suspension, say) returns to the caller
// instead of ending the program.
#include <windows.h>

#include "memory/thread_control_win.h"

#if defined(__i386__)

namespace {

// An exception registration linked into the thread's handler chain, with
// the place to go back to behind it.
struct GuardFrame {
    GuardFrame* previous;
    void* handler;
    void* jump[5];
};

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    __builtin_longjmp(static_cast<GuardFrame*>(frame)->jump, 1);
}

GuardFrame* ChainHead() { return reinterpret_cast<GuardFrame*>(__readfsdword(0)); }
void SetChainHead(GuardFrame* frame) { __writefsdword(0, static_cast<DWORD>(reinterpret_cast<uintptr_t>(frame))); }

}  // namespace

bool RunGuarded(void (*body)(void*), void* argument) {
    GuardFrame frame;
    frame.previous = ChainHead();
    frame.handler = reinterpret_cast<void*>(GuardHandler);
    if (__builtin_setjmp(frame.jump)) {
        SetChainHead(frame.previous);
        return false;
    }
    SetChainHead(&frame);
    body(argument);
    SetChainHead(frame.previous);
    return true;
}

#else

namespace {

typedef PVOID(WINAPI* AddHandlerFn)(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);
typedef ULONG(WINAPI* RemoveHandlerFn)(PVOID handle);

// The region is entered by the worker thread only; a fault of any other
// thread is not ours to catch.
void** g_jump = nullptr;
DWORD g_guardedThread = 0;

LONG CALLBACK GuardHandler(EXCEPTION_POINTERS* info) {
    bool fault = (info->ExceptionRecord->ExceptionCode & 0xC0000000u) == 0xC0000000u;
    if (!g_jump || !fault || GetCurrentThreadId() != g_guardedThread) return EXCEPTION_CONTINUE_SEARCH;
    void** jump = g_jump;
    g_jump = nullptr;
    __builtin_longjmp(jump, 1);
}

}  // namespace

bool RunGuarded(void (*body)(void*), void* argument) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    AddHandlerFn add = reinterpret_cast<AddHandlerFn>(GetProcAddress(kernel32, "AddVectoredExceptionHandler"));
    RemoveHandlerFn remove =
        reinterpret_cast<RemoveHandlerFn>(GetProcAddress(kernel32, "RemoveVectoredExceptionHandler"));
    PVOID handler = (add && remove) ? add(1, GuardHandler) : nullptr;
    void* jump[5];
    if (__builtin_setjmp(jump)) {
        remove(handler);
        return false;
    }
    if (handler) {
        g_guardedThread = GetCurrentThreadId();
        g_jump = jump;
    }
    body(argument);
    g_jump = nullptr;
    if (handler) remove(handler);
    return true;
}

#endif
