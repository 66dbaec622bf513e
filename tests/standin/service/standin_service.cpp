// A service of the tests' own: it does nothing but run until it is asked to
// stop. Started with "never-stop" after its path it answers a stop request
// with the stop-pending state and stays in it, as a hung service would.
#include <windows.h>
#include <string.h>

static SERVICE_STATUS_HANDLE g_status;
static HANDLE g_stopRequested;
static bool g_neverStop;

static void Report(DWORD state, DWORD accepted) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = accepted;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? 1000 : 0;
    SetServiceStatus(g_status, &status);
}

static DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, 0);
        if (!g_neverStop) SetEvent(g_stopRequested);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

static void WINAPI ServiceMain(DWORD argc, char** argv) {
    g_status = RegisterServiceCtrlHandlerExA(argc ? argv[0] : "", Handler, nullptr);
    if (!g_status) return;
    Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
    WaitForSingleObject(g_stopRequested, INFINITE);
    Report(SERVICE_STOPPED, 0);
}

int main(int argc, char** argv) {
    g_neverStop = argc > 1 && strcmp(argv[1], "never-stop") == 0;
    g_stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
