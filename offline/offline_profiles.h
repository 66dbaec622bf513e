// The profile functions over the mounted installation: INI files read and
// changed by the project's own reader and writer, and the entries the
// installation's INI file mapping sends to the registry read and changed
// there, as the running system would.
#pragma once
#include "system/profile_calls.h"
#include "system/registry_calls.h"

// registry may be null (a 9x installation: nothing is mapped). The Windows
// folder is the installation's, as a Windows path ("C:\WINDOWS").
void SetOfflineProfiles(const RegistryCalls* registry, const char* windowsFolder);
const ProfileCalls* OfflineProfileCalls();
// True when the installation's INI file mapping keeps the entry in the
// registry (and not in the file as well).
bool IniEntryInRegistry(const char* file, const char* section, const char* name);
// True when the mapping keeps the entry in each user's registry (USR:).
bool IniEntryOfEachUser(const char* file, const char* section, const char* name);
