// Reading and writing the registry and service settings the journal saves
// and puts back. The service functions exist only on the NT family and are
// looked up at run time.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "undo/journal.h"

HKEY UndoRootKey(uint32_t root);

// The value's type and data; false when it is not there.
bool ReadRegistryValue(HKEY key, const std::string& name, uint32_t* type, std::string* data);
// Every value and subkey below the key, the key's own values first.
bool ReadRegistryTree(uint32_t root, const std::string& path, std::vector<UndoKeyEntry>* entries);

enum ServiceLookup { SERVICE_FOUND, SERVICE_NOT_INSTALLED, SERVICE_NO_MANAGER, SERVICE_UNREADABLE };
ServiceLookup ReadServiceConfig(const std::string& name, UndoService* config);
// Installs the service as saved; answers 0 or the Win32 error.
DWORD CreateSavedService(const std::string& name, const UndoService& config);
