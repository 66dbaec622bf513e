// Entry points of kernel32 and ntdll that not every Windows has, looked up
// by name on first use and forgotten at the end of every run.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

typedef LONG(WINAPI* ZwQuerySystemInformationFn)(ULONG infoClass, PVOID buffer, ULONG size, PULONG returned);
typedef LONG(WINAPI* ZwQueryInformationProcessFn)(HANDLE process, ULONG infoClass, PVOID buffer, ULONG size,
                                                   PULONG returned);
typedef LONG(WINAPI* ZwQueryInformationThreadFn)(HANDLE thread, ULONG infoClass, PVOID buffer, ULONG size,
                                                  PULONG returned);
struct NtClientId {
    HANDLE process;
    HANDLE thread;
};
typedef LONG(WINAPI* ZwOpenThreadFn)(HANDLE* thread, ACCESS_MASK access, void* attributes, NtClientId* client);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* Process32Fn)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef BOOL(WINAPI* Module32Fn)(HANDLE snapshot, MODULEENTRY32* entry);
typedef BOOL(WINAPI* Thread32Fn)(HANDLE snapshot, THREADENTRY32* entry);
typedef DWORD(WINAPI* RegisterServiceProcessFn)(DWORD processId, DWORD type);
typedef HANDLE(WINAPI* OpenThreadFn)(DWORD access, BOOL inherit, DWORD threadId);
typedef LPVOID(WINAPI* VirtualAllocExFn)(HANDLE process, LPVOID address, SIZE_T size, DWORD type, DWORD protect);
typedef BOOL(WINAPI* VirtualFreeExFn)(HANDLE process, LPVOID address, SIZE_T size, DWORD type);
typedef HANDLE(WINAPI* CreateRemoteThreadFn)(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                             LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                             LPDWORD threadId);
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE process, PBOOL wow64);
typedef BOOL(WINAPI* GetProcessTimesFn)(HANDLE process, FILETIME* created, FILETIME* exited, FILETIME* kernel,
                                        FILETIME* user);

enum : ULONG {
    SYSTEM_PROCESS_INFORMATION_CLASS = 5,
    PROCESS_BASIC_INFORMATION_CLASS = 0,
    PROCESS_WOW64_INFORMATION_CLASS = 26,
    THREAD_START_ADDRESS_CLASS = 9,  // ThreadQuerySetWin32StartAddress
};
static const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// The modules loaded for the process and thread work, and every entry point
// looked up in them. Worker thread only.
struct ProcessApi {
    HMODULE kernel32;
    HMODULE ntdll;
    ZwQuerySystemInformationFn zwQuerySystemInformation;
    ZwQueryInformationProcessFn zwQueryInformationProcess;
    ZwQueryInformationThreadFn zwQueryInformationThread;
    ZwOpenThreadFn zwOpenThread;
    CreateToolhelp32SnapshotFn createToolhelp32Snapshot;
    Thread32Fn thread32First;
    Thread32Fn thread32Next;
    OpenThreadFn openThread;
    VirtualAllocExFn virtualAllocEx;
    VirtualFreeExFn virtualFreeEx;
    CreateRemoteThreadFn createRemoteThread;
    IsWow64ProcessFn isWow64Process;
    bool wow64Looked;
    GetProcessTimesFn getProcessTimes;
};
extern ProcessApi g_processApi;

// Each loads its module once per run, the one already in this process or
// else the system folder's; null when it cannot be loaded.
HMODULE ApiKernel32();
HMODULE ApiNtdll();

// Looks the name up in the module the first time and keeps it in *slot.
template <class F>
F CachedEntry(F* slot, HMODULE module, const char* name) {
    if (!*slot && module) *slot = reinterpret_cast<F>(GetProcAddress(module, name));
    return *slot;
}

// Frees both modules and forgets every entry point (end of a run).
void ReleaseProcessApis();
