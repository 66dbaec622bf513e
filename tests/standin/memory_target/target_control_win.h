// Starting and watching memory target stand-ins from a test program.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <map>
#include <string>

// Writes memory_target.exe and target_lib.dll from the test program's own
// resources into folder. Answers false when it cannot.
bool InstallTargetFiles(const std::string& folder);
// The 32-bit pair that the 64-bit test program also carries; false in the
// 32-bit one.
bool Install32BitTargetFiles(const std::string& folder);

struct Target {
    PROCESS_INFORMATION process = {};
    std::string reportPath;
    std::map<std::string, std::string> values;  // from the ready report
    uint32_t pid() const { return process.dwProcessId; }
    uint64_t Address(const std::string& key) const;  // a reported pointer
    uint32_t Number(const std::string& key, int index = 0) const;
};

// Starts the target from exePath, reporting to reportPath, and waits until
// it reports ready.
bool StartTarget(const std::string& exePath, const std::string& reportPath, Target* target);
// Ends the target if it still runs and closes its handles.
void StopTarget(Target* target);
// Whether the process has ended; its exit code then.
bool TargetEnded(const Target& target, DWORD* exitCode);
std::string TargetReport(const Target& target);
bool ReadTarget(const Target& target, uint64_t address, void* buffer, size_t size);
// The number of times the target's library threads have ticked.
LONG TargetTicks(const Target& target);
// Whether the module is loaded in the target (a module snapshot).
bool TargetHasModule(const Target& target, const char* name);
// Whether the target's library threads still tick: given a second, since
// the machine may be busy.
bool Ticking(const Target& target);

// Numbers and bytes as a data file writes them: "1F40", "DE AD BE EF ",
// and an offset attribute with an optional minus sign.
std::string Hex(uint64_t value);
std::string HexBytes(const unsigned char* bytes, size_t count);
std::string Offset(int64_t offset);
