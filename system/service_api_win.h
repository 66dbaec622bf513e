// The service control functions exist only on the NT family, so they are
// looked up in advapi32 at run time: the program must load on Windows 9x.
// Shared by the SERVICE work and the undo journal.
#pragma once
#include <windows.h>

struct ServiceApi {
    SC_HANDLE(WINAPI* openManager)(LPCSTR machine, LPCSTR database, DWORD access);
    SC_HANDLE(WINAPI* openService)(SC_HANDLE manager, LPCSTR name, DWORD access);
    BOOL(WINAPI* control)(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
    BOOL(WINAPI* query)(SC_HANDLE service, LPSERVICE_STATUS status);
    BOOL(WINAPI* queryConfig)(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size, LPDWORD needed);
    SC_HANDLE(WINAPI* create)(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access, DWORD type,
                              DWORD start, DWORD errorControl, LPCSTR path, LPCSTR group, LPDWORD tag,
                              LPCSTR dependencies, LPCSTR account, LPCSTR password);
    BOOL(WINAPI* remove)(SC_HANDLE service);
    BOOL(WINAPI* close)(SC_HANDLE handle);
};

// Answers the functions, or null where the system lacks any of them. Looked
// up once; only the worker calls.
const ServiceApi* ServiceApiFunctions();
