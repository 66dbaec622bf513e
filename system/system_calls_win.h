// The Win32 registry, profile and service calls, for the cleaning table.
#pragma once
#include "system/profile_calls.h"
#include "system/registry_calls.h"
#include "system/service_calls.h"

const RegistryCalls* Win32RegistryCalls();
const ProfileCalls* Win32ProfileCalls();
const ServiceCalls* Win32ServiceCalls();
