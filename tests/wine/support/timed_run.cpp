#include "timed_run.h"

#include <windows.h>

#include <vector>

namespace {

struct Drain {
    HANDLE pipe;
    std::string* bytes;
};

DWORD WINAPI DrainPipe(void* parameter) {
    Drain* drain = static_cast<Drain*>(parameter);
    char buffer[65536];
    DWORD got;
    while (ReadFile(drain->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) drain->bytes->append(buffer, got);
    return 0;
}

// A pipe whose write end the child inherits.
bool ChildPipe(HANDLE* read, HANDLE* write) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 0)) return false;
    SetHandleInformation(*read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

TimedRun RunProgramWithin(const std::string& commandLine, unsigned long milliseconds) {
    TimedRun run = {false, 0xFFFFFFFFu, 0.0, "", ""};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!ChildPipe(&outRead, &outWrite)) return run;
    if (!ChildPipe(&errRead, &errWrite)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return run;
    }
    // Standard input is an empty pipe: a question finds no answer.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite;
    CreatePipe(&inRead, &inWrite, &inherit, 0);
    CloseHandle(inWrite);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    DWORD start = GetTickCount();
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(inRead);
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        return run;
    }
    Drain drains[2] = {{outRead, &run.output}, {errRead, &run.errors}};
    HANDLE readers[2] = {CreateThread(nullptr, 0, DrainPipe, &drains[0], 0, nullptr),
                         CreateThread(nullptr, 0, DrainPipe, &drains[1], 0, nullptr)};
    run.finished = WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0;
    if (!run.finished) {
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    run.seconds = (GetTickCount() - start) / 1000.0;
    WaitForMultipleObjects(2, readers, TRUE, INFINITE);
    for (HANDLE h : readers) CloseHandle(h);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}
