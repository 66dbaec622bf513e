#include "undo/system_state_win.h"
#include "system/service_api_win.h"

namespace {

void ReadKey(HKEY key, const std::string& subkey, std::vector<UndoKeyEntry>* entries, int depth) {
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        UndoKeyEntry entry = {subkey, false, std::string(name, nameSize), 0, std::string()};
        if (ReadRegistryValue(key, entry.name, &entry.type, &entry.data)) entries->push_back(entry);
    }
    // Deeper than the registry allows only through a loop of links.
    if (depth > 512) return;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::string path = subkey.empty() ? name : subkey + "\\" + name;
        entries->push_back(UndoKeyEntry{path, true, std::string(), 0, std::string()});
        HKEY sub;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        ReadKey(sub, path, entries, depth + 1);
        RegCloseKey(sub);
    }
}

}  // namespace

HKEY UndoRootKey(uint32_t root) {
    // The predefined keys are 32-bit values that the 64-bit headers widen
    // with their sign.
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

bool ReadRegistryValue(HKEY key, const std::string& name, uint32_t* type, std::string* data) {
    DWORD valueType = 0, size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS) return false;
    data->assign(size, '\0');
    if (size && RegQueryValueExA(key, name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(&(*data)[0]),
                                 &size) != ERROR_SUCCESS)
        return false;
    data->resize(size);
    *type = valueType;
    return true;
}

bool ReadRegistryTree(uint32_t root, const std::string& path, std::vector<UndoKeyEntry>* entries) {
    HKEY key;
    if (RegOpenKeyExA(UndoRootKey(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ReadKey(key, "", entries, 0);
    RegCloseKey(key);
    return true;
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
