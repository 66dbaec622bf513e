// A library planted beside the programs under a system library's name
// (netapi32.dll, comctl32.dll, svrapi.dll). It exports nothing; loading it
// is what it reports: each process that loads it adds the path of its
// program to a marker file beside the library, named after it with
// ".loaded" added.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyA(marker + length, ".loaded");
    char program[MAX_PATH + 2];
    DWORD programLength = GetModuleFileNameA(nullptr, program, MAX_PATH);
    program[programLength++] = '\r';
    program[programLength++] = '\n';
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    DWORD written;
    WriteFile(file, program, programLength, &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
