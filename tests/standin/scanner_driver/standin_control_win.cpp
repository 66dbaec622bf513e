#include "standin_control_win.h"

#include <windows.h>
#include <stdio.h>

#include "standin_resource.h"
#include "support/extract_resource_win.h"

namespace {
// Control requests go to a device of their own, opened for each request.
bool Control(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize) {
    HANDLE control = CreateFileA(STANDIN_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (control == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(control, code, const_cast<void*>(input), inputSize, output, outputSize, &returned,
                              nullptr);
    CloseHandle(control);
    return ok && returned == outputSize;
}

struct ServiceHandles {
    SC_HANDLE manager = nullptr, service = nullptr;
    ~ServiceHandles() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
};

bool WaitForState(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS status = {};
    for (int i = 0; i < 100; ++i) {
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == state) return true;
        Sleep(20);
    }
    return false;
}
}  // namespace

bool ExtractStandInDriver(const std::string& path) {
    return ExtractResourceFile(MAKEINTRESOURCEA(STANDIN_DRIVER_RESOURCE), path);
}

bool StartStandInDriver(const std::string& path) {
    ServiceHandles h;
    h.manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!h.manager) return false;
    h.service = CreateServiceA(h.manager, STANDIN_SERVICE_NAME, STANDIN_SERVICE_NAME, SERVICE_ALL_ACCESS,
                               SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, path.c_str(),
                               nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!h.service && GetLastError() == ERROR_SERVICE_EXISTS)
        h.service = OpenServiceA(h.manager, STANDIN_SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (!h.service) return false;
    if (!StartServiceA(h.service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) return false;
    return WaitForState(h.service, SERVICE_RUNNING);
}

bool StopStandInDriver() {
    ServiceHandles h;
    h.manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (h.manager) h.service = OpenServiceA(h.manager, STANDIN_SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (!h.service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status = {};
    if (!ControlService(h.service, SERVICE_CONTROL_STOP, &status) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
        return false;
    return WaitForState(h.service, SERVICE_STOPPED);
}

bool SetStandInBehaviour(const StandInBehaviour& behaviour) {
    return Control(STANDIN_SET_BEHAVIOUR, &behaviour, sizeof behaviour, nullptr, 0);
}

bool MarkStandInLog() { return Control(STANDIN_MARK, nullptr, 0, nullptr, 0); }

bool ReadStandInLog(std::vector<StandInEvent>* events) {
    static StandInLog log;
    if (!Control(STANDIN_READ_LOG, nullptr, 0, &log, sizeof log)) return false;
    if (log.count > STANDIN_LOG_SIZE) return false;
    events->assign(log.events, log.events + log.count);
    return true;
}

std::string DescribeStandInEvent(const StandInEvent& e) {
    char line[160];
    switch (e.kind) {
    case STANDIN_OPEN:
        snprintf(line, sizeof line, "open #%u share %u%s", e.file, e.share,
                 e.options & STANDIN_DELETE_ON_CLOSE ? " delete-on-close" : "");
        break;
    case STANDIN_REQUEST:
        snprintf(line, sizeof line, "#%u %08X in %u out %u", e.file, e.code, e.inputSize, e.outputSize);
        break;
    case STANDIN_CLOSE:
        snprintf(line, sizeof line, "close #%u", e.file);
        break;
    case STANDIN_MARK_EVENT:
        return "mark";
    default:
        snprintf(line, sizeof line, "event %u", e.kind);
    }
    std::string text = line;
    if (e.kind == STANDIN_REQUEST && e.returned) text += " -> " + std::to_string(e.returned);
    if (e.status) {
        snprintf(line, sizeof line, " refused %08X", e.status);
        text += line;
    }
    return text;
}
