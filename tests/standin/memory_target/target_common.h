// Reporting and message pumping, compiled into the target and its library
// alike, so that neither calls into the other once the target runs: the
// library may be released from under the main thread.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "target_protocol.h"

static char g_reportPath[MAX_PATH];

static void Append(const char* line) {
    if (!g_reportPath[0]) return;
    HANDLE file = CreateFileA(g_reportPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    SetFilePointer(file, 0, nullptr, FILE_END);
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    CloseHandle(file);
}

// Reports every message waiting for the calling thread.
static void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        char line[128];
        snprintf(line, sizeof line, "message %lu %x %lx %lx\r\n", GetCurrentThreadId(), message.message,
                 static_cast<unsigned long>(message.wParam), static_cast<unsigned long>(message.lParam));
        Append(line);
        if (message.message == TARGET_QUIT_MESSAGE) ExitProcess(0);
    }
}
