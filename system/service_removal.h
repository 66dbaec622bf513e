// Stopping and deleting one service named by a SERVICE element.
#pragma once
#include "system/service_calls.h"

// How many times a stopping service's state is asked for, a second apart,
// before it counts as failed to stop.
enum { SERVICE_STOP_QUERIES = 10 };

void RemoveService(const ServiceCalls* calls, const char* name);
