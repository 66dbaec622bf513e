#include "target_control_win.h"

#include <stdio.h>

#include <tlhelp32.h>
#include <stdlib.h>

#include <sstream>
#include <vector>

#include "support/extract_resource_win.h"
#include "target_resource.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

}  // namespace

bool InstallTargetFiles(const std::string& folder) {
    return ExtractResourceFile(MAKEINTRESOURCEA(TARGET_EXE_RESOURCE), folder + "\\memory_target.exe") &&
           ExtractResourceFile(MAKEINTRESOURCEA(TARGET_LIB_RESOURCE), folder + "\\target_lib.dll");
}

bool Install32BitTargetFiles(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    return ExtractResourceFile(MAKEINTRESOURCEA(TARGET32_EXE_RESOURCE), folder + "\\memory_target.exe") &&
           ExtractResourceFile(MAKEINTRESOURCEA(TARGET32_LIB_RESOURCE), folder + "\\target_lib.dll");
}

uint64_t Target::Address(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? 0 : strtoull(it->second.c_str(), nullptr, 16);
}

uint32_t Target::Number(const std::string& key, int index) const {
    auto it = values.find(key);
    if (it == values.end()) return 0;
    std::istringstream words(it->second);
    unsigned long value = 0;
    for (int i = 0; i <= index; ++i) words >> value;
    return static_cast<uint32_t>(value);
}

bool StartTarget(const std::string& exePath, const std::string& reportPath, Target* target) {
    DeleteFileA(reportPath.c_str());
    target->reportPath = reportPath;
    std::string command = "\"" + exePath + "\" " + reportPath;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &target->process))
        return false;
    for (int wait = 0; wait < 200; ++wait) {
        std::string report = ReadAll(reportPath);
        if (report.find("ready\r\n") != std::string::npos) {
            std::istringstream lines(report);
            std::string entry;
            while (std::getline(lines, entry)) {
                if (!entry.empty() && entry.back() == '\r') entry.pop_back();
                size_t space = entry.find(' ');
                if (space != std::string::npos) target->values[entry.substr(0, space)] = entry.substr(space + 1);
            }
            return true;
        }
        Sleep(50);
    }
    return false;
}

void StopTarget(Target* target) {
    if (!target->process.hProcess) return;
    DWORD code = 0;
    if (!TargetEnded(*target, &code)) {
        TerminateProcess(target->process.hProcess, 99);
        WaitForSingleObject(target->process.hProcess, 5000);
    }
    CloseHandle(target->process.hProcess);
    CloseHandle(target->process.hThread);
    target->process = PROCESS_INFORMATION{};
}

bool TargetEnded(const Target& target, DWORD* exitCode) {
    if (WaitForSingleObject(target.process.hProcess, 0) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(target.process.hProcess, exitCode);
    return true;
}

std::string TargetReport(const Target& target) { return ReadAll(target.reportPath); }

bool ReadTarget(const Target& target, uint64_t address, void* buffer, size_t size) {
    SIZE_T got = 0;
    return ReadProcessMemory(target.process.hProcess, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)),
                             buffer, size, &got) &&
           got == size;
}

LONG TargetTicks(const Target& target) {
    LONG ticks = -1;
    ReadTarget(target, target.Address("ticks"), &ticks, sizeof ticks);
    return ticks;
}

bool TargetHasModule(const Target& target, const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, target.pid());
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module))
        found = lstrcmpiA(module.szModule, name) == 0;
    CloseHandle(snapshot);
    return found;
}

bool Ticking(const Target& target) {
    LONG before = TargetTicks(target);
    for (int waited = 0; waited < 1000; waited += 50) {
        Sleep(50);
        if (TargetTicks(target) != before) return true;
    }
    return false;
}

std::string Hex(uint64_t value) {
    char text[32];
    snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string HexBytes(const unsigned char* bytes, size_t count) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < count; ++i) {
        snprintf(pair, sizeof pair, "%02X ", bytes[i]);
        text += pair;
    }
    return text;
}

std::string Offset(int64_t offset) { return offset < 0 ? "-" + Hex(static_cast<uint64_t>(-offset)) : Hex(offset); }
