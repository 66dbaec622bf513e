#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "system/command_line.h"
#include "system/command_work_win.h"
#include "system/system_program_win.h"

namespace {

// The line to start, a new heap string, and in application the program to
// name beside it (empty when the system is to read it from the line). A bare
// program name becomes the quoted full path of the system's program of that
// name; any other line is started as it is.
char* LineToStart(const char* commandLine, char* application, size_t size) {
    application[0] = 0;
    CommandHead head = FindCommandHead(commandLine);
    const char* rest = commandLine;
    char program[MAX_PATH] = {};
    if (IsBareName(commandLine + head.begin, head.end - head.begin)) {
        if (!FindSystemProgram(commandLine + head.begin, head.end - head.begin, program, sizeof program))
            return nullptr;
        rest = commandLine + head.rest;
        if (IsWin32Image(program) && strlen(program) < size) strcpy(application, program);
    }
    // The program in quotes, when there is one, then the rest of the line.
    size_t programLength = strlen(program), restLength = strlen(rest);
    char* line = static_cast<char*>(malloc(programLength + 2 + restLength + 1));
    if (!line) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    char* at = line;
    if (programLength) {
        *at++ = '"';
        memcpy(at, program, programLength);
        at += programLength;
        *at++ = '"';
    }
    memcpy(at, rest, restLength + 1);
    return line;
}

}  // namespace

bool RunCommand(const char* commandLine) {
    // CreateProcessA may write into the command line it is given.
    char application[MAX_PATH];
    char* line = LineToStart(commandLine, application, sizeof application);
    if (!line) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(application[0] ? application : nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
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
