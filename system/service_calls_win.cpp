// The service control functions exist only on the NT family, so they are
// looked up in advapi32 at run time: the program must load on Windows 9x.
#include <windows.h>

#include "system/system_calls_win.h"
#include "script/function_lookup_win.h"

namespace {

typedef SC_HANDLE(WINAPI* OpenSCManagerAFunction)(LPCSTR machine, LPCSTR database, DWORD access);
typedef SC_HANDLE(WINAPI* OpenServiceAFunction)(SC_HANDLE manager, LPCSTR name, DWORD access);
typedef BOOL(WINAPI* ControlServiceFunction)(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
typedef BOOL(WINAPI* QueryServiceStatusFunction)(SC_HANDLE service, LPSERVICE_STATUS status);
typedef BOOL(WINAPI* DeleteServiceFunction)(SC_HANDLE service);
typedef BOOL(WINAPI* CloseServiceHandleFunction)(SC_HANDLE handle);

struct ServiceFunctions {
    OpenSCManagerAFunction openManager;
    OpenServiceAFunction openService;
    ControlServiceFunction control;
    QueryServiceStatusFunction query;
    DeleteServiceFunction remove;
    CloseServiceHandleFunction close;
};

// Answers the functions, or null where the system lacks any of them. Looked
// up once; the worker is the only caller.
const ServiceFunctions* Functions() {
    static ServiceFunctions functions;
    static int state;  // 0 not yet looked up, 1 found, -1 missing
    if (state == 0) {
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        bool found = advapi && LookUpFunction(advapi, "OpenSCManagerA", &functions.openManager) &&
                     LookUpFunction(advapi, "OpenServiceA", &functions.openService) &&
                     LookUpFunction(advapi, "ControlService", &functions.control) &&
                     LookUpFunction(advapi, "QueryServiceStatus", &functions.query) &&
                     LookUpFunction(advapi, "DeleteService", &functions.remove) &&
                     LookUpFunction(advapi, "CloseServiceHandle", &functions.close);
        state = found ? 1 : -1;
    }
    return state == 1 ? &functions : nullptr;
}

SC_HANDLE Handle(ServiceHandle handle) { return static_cast<SC_HANDLE>(handle); }

ServiceHandle OpenManager() {
    const ServiceFunctions* f = Functions();
    return f ? f->openManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS) : nullptr;
}

ServiceHandle OpenOneService(ServiceHandle manager, const char* name, uint32_t* error) {
    SC_HANDLE service = Functions()->openService(Handle(manager), name, SERVICE_ALL_ACCESS);
    *error = service ? 0 : GetLastError();
    return service;
}

bool Stop(ServiceHandle service, uint32_t* state) {
    SERVICE_STATUS status = {};
    BOOL accepted = Functions()->control(Handle(service), SERVICE_CONTROL_STOP, &status);
    *state = status.dwCurrentState;
    return accepted != FALSE;
}

bool QueryState(ServiceHandle service, uint32_t* state) {
    SERVICE_STATUS status = {};
    if (!Functions()->query(Handle(service), &status)) return false;
    *state = status.dwCurrentState;
    return true;
}

bool Remove(ServiceHandle service) { return Functions()->remove(Handle(service)) != FALSE; }

void Close(ServiceHandle handle) { Functions()->close(Handle(handle)); }

void Pause(uint32_t milliseconds) { Sleep(milliseconds); }

const ServiceCalls kCalls = {OpenManager, OpenOneService, Stop, QueryState, Remove, Close, Pause};

}  // namespace

const ServiceCalls* Win32ServiceCalls() { return &kCalls; }
