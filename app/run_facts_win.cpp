#include "app/run_facts_win.h"

#include <windows.h>

#include "app/wow64_notice_win.h"
#include "report/json_report.h"
#include "report/run_report.h"
#include "script/local_time.h"
#include "script/parse_context.h"
#include "script/settings.h"
#include "script/function_lookup_win.h"
#include "script/text_util.h"

static void TakeTime(int32_t* moment) {
    LocalTime now;
    PlatformLocalTime(&now);
    const int32_t parts[6] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) moment[i] = parts[i];
}

static void NoteWindowsVersion() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return;
    bool nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    g_runFacts.platformCode = nt ? PLATFORM_NT : info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? PLATFORM_9X : 0;
    g_runFacts.windowsMajor = info.dwMajorVersion;
    g_runFacts.windowsMinor = info.dwMinorVersion;
    // The 9x family keeps its version in the build number's high word.
    g_runFacts.windowsBuild = nt ? info.dwBuildNumber : info.dwBuildNumber & 0xFFFF;
    CopyBounded(g_runFacts.servicePack, sizeof g_runFacts.servicePack, info.szCSDVersion);
}

// The name fleet tools tell machines apart by. Looked up at run time, as
// every kernel32 function beyond the program's fixed list is.
static void NoteComputerName() {
    typedef BOOL(WINAPI * GetComputerNameFunction)(LPSTR, LPDWORD);
    GetComputerNameFunction getName;
    if (!LookUpFunction(GetModuleHandleA("kernel32.dll"), "GetComputerNameA", &getName)) return;
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (getName(name, &size)) CopyBounded(g_runFacts.computerName, sizeof g_runFacts.computerName, name);
}

void BeginRunFacts(const char* mode) {
    FreeRunItems();
    ResetRunFacts(mode);
    TakeTime(g_runFacts.started);
    NoteWindowsVersion();
    NoteComputerName();
    g_runFacts.wow64 = RunningUnderWow64();
}

void EndRunFacts(int32_t result, bool skipMode) {
    g_runFacts.result = result;
    g_runFacts.skipMode = skipMode;
    TakeTime(g_runFacts.finished);
    if (g_runOptions.jsonPath) WriteRunReport(g_runOptions.jsonPath);
    FreeRunItems();
}
