#include "offline/offline_profiles.h"

#include <string.h>

#include <string>

#include "offline/ini_mapping.h"
#include "offline/ini_text.h"
#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "offline/registry_text.h"
#include "report/run_report.h"

namespace {

const RegistryCalls* g_registry;
std::string g_windowsFolder;

const uint32_t kCurrentUser = 0x80000001u;
const uint32_t kPathNotFound = 3;
const uint32_t kAccessDenied = 5;
const uint32_t kInvalidName = 123;

uint32_t ErrorOfStatus(MountedPathStatus status) {
    switch (status) {
    case MOUNTED_LINK: return kAccessDenied;
    case MOUNTED_BAD_NAME: return kInvalidName;
    default: return kPathNotFound;
    }
}

// The registry's text for a mapped entry; false when the value is missing.
bool ReadMapped(const IniMapping& mapping, const char* name, std::string* value) {
    uint32_t type;
    return ReadRegistryText(g_registry, mapping.root, mapping.key, name, &type, value);
}

bool WriteMapped(const IniMapping& mapping, const char* name, const char* value) {
    RegistryKey key;
    int32_t status = g_registry->openKey(mapping.root, mapping.key.c_str(), &key);
    if (status == REGISTRY_NOT_FOUND && !value) return true;
    if (status != REGISTRY_OK) {
        g_fakeLastError = static_cast<uint32_t>(status);
        return false;
    }
    if (value)
        status = g_registry->setValue(key, name, REGISTRY_TEXT, reinterpret_cast<const uint8_t*>(value),
                                      static_cast<uint32_t>(strlen(value) + 1));
    else
        status = g_registry->deleteValue(key, name);
    g_registry->closeKey(key);
    if (status == REGISTRY_NOT_FOUND && !value) status = REGISTRY_OK;
    if (status != REGISTRY_OK) g_fakeLastError = static_cast<uint32_t>(status);
    return status == REGISTRY_OK;
}

bool ReadFromFile(const char* file, const char* section, const char* name, std::string* value) {
    std::string path, bytes;
    if (ResolveMountedPath(file, &path) != MOUNTED_FOUND) return false;
    if (ReadMountedFile(path, &bytes) != 0) return false;
    return FindIniValue(bytes, section, name, value);
}

bool WriteToFile(const char* file, const char* section, const char* name, const char* value) {
    std::string path, bytes;
    MountedPathStatus status = ResolveMountedPath(file, &path);
    if (status == MOUNTED_MISSING && !value) return true;
    if (status != MOUNTED_FOUND && status != MOUNTED_MISSING) {
        g_fakeLastError = ErrorOfStatus(status);
        return false;
    }
    if (status == MOUNTED_FOUND) {
        uint32_t error = ReadMountedFile(path, &bytes);
        if (error) {
            g_fakeLastError = error;
            return false;
        }
    }
    if (!SetIniValue(&bytes, section, name, value)) return true;
    uint32_t error = ReplaceMountedFile(path, bytes);
    if (error) g_fakeLastError = error;
    return error == 0;
}

uint32_t Read(const char* section, const char* name, const char* defaultText, char* buffer, uint32_t size,
              const char* file) {
    std::string value;
    bool found = false;
    IniMapping mapping;
    bool mapped = FindIniMapping(g_registry, g_windowsFolder.c_str(), file, section, name, &mapping);
    if (mapped) found = ReadMapped(mapping, name, &value);
    if (!found && (!mapped || mapping.fileWhenMissing) && section && name)
        found = ReadFromFile(file, section, name, &value);
    return CopyProfileAnswer(found, value, defaultText, buffer, size);
}

bool Write(const char* section, const char* name, const char* value, const char* file) {
    // Nothing is cached between calls, so the flush has nothing to write;
    // a whole section is never asked for.
    if (!section || !name) return true;
    IniMapping mapping;
    if (FindIniMapping(g_registry, g_windowsFolder.c_str(), file, section, name, &mapping)) {
        if (!WriteMapped(mapping, name, value)) return false;
        if (!mapping.fileToo) return true;
    }
    return WriteToFile(file, section, name, value);
}

const ProfileCalls kCalls = {Read, Write};

}  // namespace

void SetOfflineProfiles(const RegistryCalls* registry, const char* windowsFolder) {
    g_registry = registry;
    g_windowsFolder = windowsFolder;
}

const ProfileCalls* OfflineProfileCalls() { return &kCalls; }

bool IniEntryInRegistry(const char* file, const char* section, const char* name) {
    IniMapping mapping;
    return FindIniMapping(g_registry, g_windowsFolder.c_str(), file, section, name, &mapping) && !mapping.fileToo;
}

bool IniEntryOfEachUser(const char* file, const char* section, const char* name) {
    IniMapping mapping;
    return FindIniMapping(g_registry, g_windowsFolder.c_str(), file, section, name, &mapping) &&
           mapping.root == kCurrentUser;
}
