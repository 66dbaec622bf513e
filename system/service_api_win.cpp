#include "system/service_api_win.h"

#include "script/function_lookup_win.h"

const ServiceApi* ServiceApiFunctions() {
    static ServiceApi api;
    static int state;  // 0 not yet looked up, 1 found, -1 missing
    if (state == 0) {
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        bool found = LookUpFunction(advapi, "OpenSCManagerA", &api.openManager) &&
                     LookUpFunction(advapi, "OpenServiceA", &api.openService) &&
                     LookUpFunction(advapi, "ControlService", &api.control) &&
                     LookUpFunction(advapi, "QueryServiceStatus", &api.query) &&
                     LookUpFunction(advapi, "QueryServiceConfigA", &api.queryConfig) &&
                     LookUpFunction(advapi, "CreateServiceA", &api.create) &&
                     LookUpFunction(advapi, "DeleteService", &api.remove) &&
                     LookUpFunction(advapi, "CloseServiceHandle", &api.close);
        state = found ? 1 : -1;
    }
    return state == 1 ? &api : nullptr;
}
