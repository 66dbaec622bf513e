// The privileges the NT memory pass needs in this program's own token.
#pragma once
#include <windows.h>

// Enables "SeTcbPrivilege", "SeSecurityPrivilege" and "SeDebugPrivilege" in
// that order, stopping at the first that fails. Answers 0 or the Win32
// error of the call that failed.
DWORD EnablePrivileges();
// Answers 0 or the Win32 error of the call that failed.
DWORD EnablePrivilege(HANDLE token, const char* name);
