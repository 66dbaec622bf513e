// Benchmark, not a test: the NT memory pass with name-only PROCESS records
// over a machine running 50 target processes, against a bare listing of
// every process's modules with Toolhelp module snapshots.
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "memory/memory_pass_win.h"
#include "memory/process_record.h"
#include "memory/system_api_win.h"
#include "script/parse_context.h"
#include "target_control_win.h"

namespace {

const int kTargets = 50;
const int kRounds = 7;
const char* const kNames[] = {"memory_target.exe", "absent_one.exe", "absent_two.exe"};

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

ProcessRecord* NameOnlyRecords() {
    ProcessRecord* list = nullptr;
    for (const char* name : kNames) {
        ProcessRecord* r = static_cast<ProcessRecord*>(calloc(1, sizeof(ProcessRecord)));
        r->isProcess = 1;
        r->processName = _strdup(name);
        r->typeName = _strdup("Virus");
        r->next = list;
        list = r;
    }
    return list;
}

// Answers how many processes were listed, and how many matched.
int MemoryPass(int* matched) {
    ProcessRecord* records = NameOnlyRecords();
    ParseContext context = {};
    context.flags = RUN_WINNT | RUN_IN_MEMORY;
    ScanMemory(&context, records);
    *matched = 0;
    for (ProcessRecord* r = records; r; r = r->next)
        for (FoundProcess* f = r->found; f; f = f->next) ++*matched;
    FreeProcessList(records);
    ReleaseProcessApis();
    return 0;
}

// Every module of every process, through Toolhelp. Answers the processes.
int ToolhelpModules(int* modules) {
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof process;
    int count = 0;
    *modules = 0;
    for (BOOL more = Process32First(processes, &process); more; more = Process32Next(processes, &process)) {
        ++count;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);
        if (snapshot == INVALID_HANDLE_VALUE) continue;
        MODULEENTRY32 module = {};
        module.dwSize = sizeof module;
        for (BOOL m = Module32First(snapshot, &module); m; m = Module32Next(snapshot, &module)) ++*modules;
        CloseHandle(snapshot);
    }
    CloseHandle(processes);
    return count;
}

}  // namespace

int main() {
    if (!InstallTargetFiles("C:\\mendrix")) {
        fprintf(stderr, "cannot write the target programs\n");
        return 1;
    }
    CreateDirectoryA("C:\\mendrix\\bench", nullptr);
    std::vector<Target> targets(kTargets);
    for (int i = 0; i < kTargets; ++i) {
        if (!StartTarget("C:\\mendrix\\memory_target.exe", "C:\\mendrix\\bench\\t" + std::to_string(i) + ".txt",
                         &targets[i])) {
            fprintf(stderr, "target %d did not start\n", i);
            return 1;
        }
    }
    int processes = 0, modules = 0, matched = 0;
    std::vector<double> pass, toolhelp;
    for (int round = 0; round < kRounds; ++round) {
        double t0 = Now();
        MemoryPass(&matched);
        double t1 = Now();
        processes = ToolhelpModules(&modules);
        double t2 = Now();
        pass.push_back(t1 - t0);
        toolhelp.push_back(t2 - t1);
    }
    for (Target& t : targets) StopTarget(&t);
    double passEach = Median(pass) * 1000.0 / processes;
    double toolhelpEach = Median(toolhelp) * 1000.0 / processes;
    printf("processes running: %d (%d targets), modules: %d\n", processes, kTargets, modules);
    printf("memory pass, %d name-only PROCESS records: %.3f ms per process (matched %d)\n",
           static_cast<int>(sizeof kNames / sizeof kNames[0]), passEach, matched);
    printf("Toolhelp module snapshot of every process: %.3f ms per process\n", toolhelpEach);
    printf("ratio: %.2f (target 1.25 or less), medians of %d rounds\n", passEach / toolhelpEach, kRounds);
    return 0;
}
