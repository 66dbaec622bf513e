// The SERVICE element's calls into the service control manager.
#include <windows.h>

#include "system/service_api_win.h"
#include "system/system_calls_win.h"

namespace {

SC_HANDLE Handle(ServiceHandle handle) { return static_cast<SC_HANDLE>(handle); }

ServiceHandle OpenManager() {
    const ServiceApi* f = ServiceApiFunctions();
    return f ? f->openManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS) : nullptr;
}

ServiceHandle OpenOneService(ServiceHandle manager, const char* name, uint32_t* error) {
    SC_HANDLE service = ServiceApiFunctions()->openService(Handle(manager), name, SERVICE_ALL_ACCESS);
    *error = service ? 0 : GetLastError();
    return service;
}

bool Stop(ServiceHandle service, uint32_t* state) {
    SERVICE_STATUS status = {};
    BOOL accepted = ServiceApiFunctions()->control(Handle(service), SERVICE_CONTROL_STOP, &status);
    *state = status.dwCurrentState;
    return accepted != FALSE;
}

bool QueryState(ServiceHandle service, uint32_t* state) {
    SERVICE_STATUS status = {};
    if (!ServiceApiFunctions()->query(Handle(service), &status)) return false;
    *state = status.dwCurrentState;
    return true;
}

bool Remove(ServiceHandle service) { return ServiceApiFunctions()->remove(Handle(service)) != FALSE; }

void Close(ServiceHandle handle) { ServiceApiFunctions()->close(Handle(handle)); }

void Pause(uint32_t milliseconds) { Sleep(milliseconds); }

const ServiceCalls kCalls = {OpenManager, OpenOneService, Stop, QueryState, Remove, Close, Pause};

}  // namespace

const ServiceCalls* Win32ServiceCalls() { return &kCalls; }
