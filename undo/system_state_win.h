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

// The value's type and data: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when it is
// not there, or the error that kept it from being read.
LONG ReadRegistryValue(HKEY key, const std::string& name, uint32_t* type, std::string* data);

// The registry nests keys at most this deep.
enum { REGISTRY_DEPTH_LIMIT = 512 };
enum TreeRead { TREE_READ, TREE_MISSING, TREE_FAILED };
// Every value and subkey below the key, the key's own values first, each
// subkey followed by what is below it. The tree is walked with a stack of
// its own, however deep it goes: TREE_FAILED, with the problem, when any
// part of it cannot be read or it is deeper than the registry allows, for
// a key saved only in part must not be deleted.
TreeRead ReadRegistryTree(uint32_t root, const std::string& path, std::vector<UndoKeyEntry>* entries,
                          std::string* problem);

enum ServiceLookup { SERVICE_FOUND, SERVICE_NOT_INSTALLED, SERVICE_NO_MANAGER, SERVICE_UNREADABLE };
ServiceLookup ReadServiceConfig(const std::string& name, UndoService* config);
// Installs the service as saved; answers 0 or the Win32 error.
DWORD CreateSavedService(const std::string& name, const UndoService& config);
