#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "system/command_work_win.h"

bool RunCommand(const char* commandLine) {
    // CreateProcessA may write into the command line it is given.
    size_t length = strlen(commandLine);
    char* line = static_cast<char*>(malloc(length + 1));
    if (!line) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    memcpy(line, commandLine, length + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    DWORD failure = started ? 0 : GetLastError();
    free(line);
    if (!started) {
        // Kept for the caller, whatever freeing the copy did to it.
        SetLastError(failure);
        return false;
    }
    // A command still running after this goes on by itself.
    WaitForSingleObject(process.hProcess, COMMAND_WAIT_MS);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}
