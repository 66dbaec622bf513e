#include "app/wow64_notice_win.h"

#include <windows.h>

#include "report/message.h"

// IsWow64Process came with XP SP2; earlier systems have no WOW64 at all.
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);

bool RunningUnderWow64() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFn isWow64 =
        kernel ? reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process")) : nullptr;
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

void ReportWow64View() {
    if (!RunningUnderWow64()) return;
    ReportMessage(MSG_LOG_ONLY | MSG_INFO,
                  "\r\nThis 32-bit program is running on 64-bit Windows: it sees files and registry through the "
                  "32-bit view (System32 is SysWOW64, HKLM\\Software is HKLM\\Software\\WOW6432Node) and cannot "
                  "examine 64-bit processes.\r\nRun the 64-bit build (mendrix.exe of the win64 folder) to clean "
                  "the 64-bit side of this machine.\r\n");
}
