#include "support/service_control_win.h"

#include <windows.h>

unsigned long ServiceState(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status = {};
    unsigned long state = 0;
    if (service && QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return state;
}

// The machine may be busy with other builds: up to 15 s.
bool WaitForServiceState(const std::string& name, unsigned long state) {
    for (int i = 0; i < 750; ++i) {
        if (ServiceState(name) == state) return true;
        Sleep(20);
    }
    return false;
}

std::string InstallService(const std::string& name, const std::string& command, bool start) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return "no service manager: error " + std::to_string(GetLastError());
    SC_HANDLE service = CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    std::string problem;
    if (!service)
        problem = "CreateService " + name + ": error " + std::to_string(GetLastError());
    else if (start && !StartServiceA(service, 0, nullptr))
        problem = "StartService " + name + ": error " + std::to_string(GetLastError());
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (problem.empty() && start && !WaitForServiceState(name, SERVICE_RUNNING)) problem = name + " never ran";
    return problem;
}

void UninstallService(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS) : nullptr;
    if (service) {
        SERVICE_STATUS_PROCESS status = {};
        DWORD needed = 0;
        if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                 &needed) &&
            status.dwProcessId) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId);
            if (process) {
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
    for (int i = 0; i < 750 && ServiceState(name) != 0; ++i) Sleep(20);
}
