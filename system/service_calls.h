// The service control manager as the SERVICE work sees it: the advapi32
// functions, looked up when first needed, or a stand-in of the tests.
#pragma once
#include <stdint.h>

typedef void* ServiceHandle;

enum : uint32_t {
    SERVICE_MISSING = 1060,  // ERROR_SERVICE_DOES_NOT_EXIST
    SERVICE_STATE_STOPPED = 1,
    SERVICE_STATE_STOP_PENDING = 3,
};

struct ServiceCalls {
    // The local manager with full access; null on failure (also where the
    // system has no service control manager).
    ServiceHandle (*openManager)();
    // The service with full access; null on failure, with the reason in
    // *error.
    ServiceHandle (*openService)(ServiceHandle manager, const char* name, uint32_t* error);
    // Asks the service to stop. Answers whether the request was accepted and
    // the state the service reported with it.
    bool (*stop)(ServiceHandle service, uint32_t* state);
    bool (*queryState)(ServiceHandle service, uint32_t* state);
    bool (*remove)(ServiceHandle service);
    void (*close)(ServiceHandle handle);
    void (*sleep)(uint32_t milliseconds);
};
