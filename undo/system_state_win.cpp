#include "undo/system_state_win.h"
#include "system/service_api_win.h"

#include <stdio.h>

namespace {

// Names of values reach 16,383 characters, names of keys 255.
const DWORD kValueNameSize = 16384;
const DWORD kKeyNameSize = 256;

std::string Failure(const std::string& what, LONG error) {
    char text[32];
    snprintf(text, sizeof text, " (error %ld)", static_cast<long>(error));
    return what + text;
}

// The values of one key, in the order the registry lists them.
bool ReadValues(HKEY key, const std::string& subkey, std::vector<char>* name, std::vector<UndoKeyEntry>* entries,
                std::string* problem) {
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name->size());
        LONG result = RegEnumValueA(key, i, name->data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) return true;
        UndoKeyEntry entry = {subkey, false, std::string(name->data(), result == ERROR_SUCCESS ? nameSize : 0), 0,
                              std::string()};
        if (result == ERROR_SUCCESS) result = ReadRegistryValue(key, entry.name, &entry.type, &entry.data);
        if (result != ERROR_SUCCESS) {
            *problem = Failure("a value of " + (subkey.empty() ? std::string("the key") : subkey) + " cannot be read",
                               result);
            return false;
        }
        entries->push_back(entry);
    }
}

// One key being walked: where its subkeys' enumeration stands.
struct Level {
    HKEY key;
    std::string path;
    DWORD nextSubkey;
};

}  // namespace

HKEY UndoRootKey(uint32_t root) {
    // The predefined keys are 32-bit values that the 64-bit headers widen
    // with their sign.
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

LONG ReadRegistryValue(HKEY key, const std::string& name, uint32_t* type, std::string* data) {
    DWORD valueType = 0, size = 0;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &valueType, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    data->assign(size, '\0');
    if (size) {
        result = RegQueryValueExA(key, name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(&(*data)[0]), &size);
        if (result != ERROR_SUCCESS) return result == ERROR_FILE_NOT_FOUND ? ERROR_READ_FAULT : result;
    }
    data->resize(size);
    *type = valueType;
    return ERROR_SUCCESS;
}

TreeRead ReadRegistryTree(uint32_t root, const std::string& path, std::vector<UndoKeyEntry>* entries,
                          std::string* problem) {
    HKEY top;
    LONG result = RegOpenKeyExA(UndoRootKey(root), path.c_str(), 0, KEY_READ, &top);
    if (result == ERROR_FILE_NOT_FOUND) return TREE_MISSING;
    if (result != ERROR_SUCCESS) {
        *problem = Failure("the key cannot be read", result);
        return TREE_FAILED;
    }
    // Buffers on the heap, one of each for the whole walk.
    std::vector<char> valueName(kValueNameSize), keyName(kKeyNameSize);
    std::vector<Level> stack;
    stack.push_back(Level{top, std::string(), 0});
    bool read = ReadValues(top, "", &valueName, entries, problem);
    while (read && !stack.empty()) {
        Level& level = stack.back();
        DWORD nameSize = kKeyNameSize;
        result = RegEnumKeyExA(level.key, level.nextSubkey++, keyName.data(), &nameSize, nullptr, nullptr, nullptr,
                               nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(level.key);
            stack.pop_back();
            continue;
        }
        std::string name(keyName.data(), result == ERROR_SUCCESS ? nameSize : 0);
        std::string below = level.path.empty() ? name : level.path + "\\" + name;
        if (result != ERROR_SUCCESS) {
            *problem = Failure("the subkeys of " + (level.path.empty() ? std::string("the key") : level.path) +
                                   " cannot be listed",
                               result);
            read = false;
            break;
        }
        entries->push_back(UndoKeyEntry{below, true, std::string(), 0, std::string()});
        if (stack.size() > REGISTRY_DEPTH_LIMIT) {
            *problem = "it is more than 512 levels deep";
            read = false;
            break;
        }
        HKEY sub;
        result = RegOpenKeyExA(level.key, name.c_str(), 0, KEY_READ, &sub);
        if (result != ERROR_SUCCESS) {
            *problem = Failure("its subkey " + below + " cannot be read", result);
            read = false;
            break;
        }
        stack.push_back(Level{sub, below, 0});
        read = ReadValues(sub, below, &valueName, entries, problem);
    }
    for (const Level& level : stack) RegCloseKey(level.key);
    return read ? TREE_READ : TREE_FAILED;
}

ServiceLookup ReadServiceConfig(const std::string& name, UndoService* config) {
    const ServiceApi* f = ServiceApiFunctions();
    SC_HANDLE manager = f ? f->openManager(nullptr, nullptr, SC_MANAGER_CONNECT) : nullptr;
    if (!manager) return SERVICE_NO_MANAGER;
    SC_HANDLE service = f->openService(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    if (!service) {
        DWORD error = GetLastError();
        f->close(manager);
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? SERVICE_NOT_INSTALLED : SERVICE_UNREADABLE;
    }
    DWORD needed = 0;
    f->queryConfig(service, nullptr, 0, &needed);
    std::vector<char> buffer(needed ? needed : 1);
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    bool ok = needed && f->queryConfig(service, c, needed, &needed);
    if (ok) {
        auto text = [](const char* t) { return std::string(t ? t : ""); };
        config->serviceType = c->dwServiceType;
        config->startType = c->dwStartType;
        config->errorControl = c->dwErrorControl;
        config->binaryPath = text(c->lpBinaryPathName);
        config->loadOrderGroup = text(c->lpLoadOrderGroup);
        config->account = text(c->lpServiceStartName);
        config->displayName = text(c->lpDisplayName);
        config->dependencies.clear();
        for (const char* d = c->lpDependencies; d && *d; d += lstrlenA(d) + 1) config->dependencies.push_back(d);
    }
    f->close(service);
    f->close(manager);
    return ok ? SERVICE_FOUND : SERVICE_UNREADABLE;
}

DWORD CreateSavedService(const std::string& name, const UndoService& config) {
    const ServiceApi* f = ServiceApiFunctions();
    SC_HANDLE manager = f ? f->openManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS) : nullptr;
    if (!manager) return f ? GetLastError() : ERROR_CALL_NOT_IMPLEMENTED;
    std::string dependencies;
    for (const std::string& d : config.dependencies) dependencies += d + '\0';
    dependencies += '\0';
    auto orNull = [](const std::string& t) { return t.empty() ? nullptr : t.c_str(); };
    SC_HANDLE service = f->create(manager, name.c_str(), orNull(config.displayName), SERVICE_ALL_ACCESS,
                                  config.serviceType, config.startType, config.errorControl, config.binaryPath.c_str(),
                                  orNull(config.loadOrderGroup), nullptr, dependencies.c_str(), orNull(config.account),
                                  nullptr);
    DWORD error = service ? 0 : GetLastError();
    if (service) f->close(service);
    f->close(manager);
    return error;
}
