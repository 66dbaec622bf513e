#include "offline/program/offline_work.h"

#include <stdlib.h>

#include <string>
#include <vector>

#include "disk/walk.h"
#include "offline/hive_registry.h"
#include "offline/offline_profiles.h"
#include "report/message.h"
#include "report/run_report.h"
#include "system/ini_entries.h"
#include "system/registry_records.h"
#include "system/registry_work.h"
#include "system/service_calls.h"

namespace {

const uint32_t kCurrentUser = 0x80000001u;
const uint32_t kLocalMachine = 0x80000002u;
const uint32_t kUsers = 0x80000003u;
const char kNothingRuns[] = "nothing runs in an offline installation";
ServiceHandle const kManager = reinterpret_cast<ServiceHandle>(1);

void NotRun(int32_t kind, const char* subject) {
    ReportMessage(MSG_WARNING, "%s not examined: %s\r\n", subject, kNothingRuns);
    RecordNotExamined(kind, subject, kNothingRuns);
}

// Nothing runs, so no scanner checks files: there is nothing to suspend.
bool SuspendScanner() { return true; }

void ScanMemory(ParseContext*, ProcessRecord*) { NotRun(ITEM_PROCESS, "Memory"); }

void RemoveShares(int32_t) { NotRun(ITEM_SHARE, "Network shares"); }

std::string ServiceKey(const std::string& name) { return "SYSTEM\\CurrentControlSet\\Services\\" + name; }

ServiceHandle OpenManager() { return kManager; }

ServiceHandle OpenService(ServiceHandle, const char* name, uint32_t* error) {
    RegistryKey key;
    if (HiveRegistryCalls()->openKey(kLocalMachine, ServiceKey(name).c_str(), &key) != REGISTRY_OK) {
        *error = SERVICE_MISSING;
        return nullptr;
    }
    HiveRegistryCalls()->closeKey(key);
    return new std::string(name);
}

// A stopped service refuses a stop request: nothing of it runs here.
bool Stop(ServiceHandle, uint32_t* state) {
    *state = SERVICE_STATE_STOPPED;
    return false;
}

bool QueryState(ServiceHandle, uint32_t* state) {
    *state = SERVICE_STATE_STOPPED;
    return true;
}

// Removing a service is deleting its key from the control set in use.
bool Remove(ServiceHandle service) {
    int32_t result = DeleteKeyTree(kLocalMachine, ServiceKey(*static_cast<std::string*>(service)).c_str());
    if (result != REGISTRY_OK) g_fakeLastError = static_cast<uint32_t>(result);
    return result == REGISTRY_OK;
}

void Close(ServiceHandle handle) {
    if (handle != kManager) delete static_cast<std::string*>(handle);
}

void Sleep(uint32_t) {}

const ServiceCalls kServices = {OpenManager, OpenService, Stop, QueryState, Remove, Close, Sleep};

// A 9x installation's registry is not read: every key is missing.
int32_t NoKey(uint32_t, const char*, RegistryKey*) { return REGISTRY_NOT_FOUND; }
int32_t NoKeyToDelete(uint32_t, const char*) { return REGISTRY_NOT_FOUND; }
const RegistryCalls kNoRegistry = {NoKey, nullptr, NoKeyToDelete, nullptr, nullptr, nullptr, nullptr, nullptr};

// The installation's users: the profiles of user accounts whose hive was read.
std::vector<const OfflineProfile*> Users() {
    std::vector<const OfflineProfile*> users;
    for (const OfflineProfile* p = OfflineProfiles(); p; p = p->next)
        if (p->hive && p->sid.compare(0, 9, "S-1-5-21-") == 0) users.push_back(p);
    return users;
}

// A KEY on HKCU is carried out once for each user, as HKU\<SID>\..., so its
// lines name the user; with one user it stays HKCU, as a run on the machine
// under that user would say it.
void ProcessForEachUser(const RegistryCalls* calls, KeyRecord* keys) {
    std::vector<const OfflineProfile*> users = Users();
    for (KeyRecord* key = keys; key; key = key->next) {
        KeyRecord* next = key->next;
        key->next = nullptr;
        if (key->root != kCurrentUser || users.size() <= 1) {
            ProcessRegistryKeys(calls, key);
        } else {
            char* original = key->path;
            for (const OfflineProfile* user : users) {
                key->root = kUsers;
                key->path = original && *original ? FormatText("%s\\%s", user->sid.c_str(), original)
                                                  : FormatText("%s", user->sid.c_str());
                if (key->path) ProcessRegistryKeys(calls, key);
                free(key->path);
            }
            key->root = kCurrentUser;
            key->path = original;
        }
        key->next = next;
    }
}

// An INI entry the installation keeps in each user's registry (USR:) is
// examined once for each user, HKCU standing for that user's hive, and its
// lines name the file and the user; with one user it reads as on the machine.
void RemoveIniEntriesForEachUser(const ProfileCalls* calls, const char* file, IniKeyRecord* keys) {
    std::vector<const OfflineProfile*> users = Users();
    const OfflineProfile* current = CurrentProfile();
    for (IniKeyRecord* key = keys; key; key = key->next) {
        IniKeyRecord* next = key->next;
        key->next = nullptr;
        if (users.size() <= 1 || !key->section || !key->name || !IniEntryOfEachUser(file, key->section, key->name)) {
            RemoveIniEntries(calls, file, file, key);
        } else {
            for (const OfflineProfile* user : users) {
                char* shownAs = FormatText("%s (HKU\\%s)", file, user->sid.c_str());
                SetCurrentProfile(user);
                if (shownAs) RemoveIniEntries(calls, file, shownAs, key);
                free(shownAs);
            }
            SetCurrentProfile(current);
        }
        key->next = next;
    }
}

CleaningWork MakeWork(bool ntFamily) {
    CleaningWork work = {};
    work.suspendScanner = SuspendScanner;
    work.scanDirectories = ScanDirectories;
    work.removeShares = RemoveShares;
    work.registry = ntFamily ? HiveRegistryCalls() : &kNoRegistry;
    work.profiles = OfflineProfileCalls();
    work.services = ntFamily ? &kServices : nullptr;
    work.scanMemory = ScanMemory;
    work.notRun = NotRun;
    work.processRegistryKeys = ntFamily ? ProcessForEachUser : nullptr;
    work.removeIniEntries = ntFamily ? RemoveIniEntriesForEachUser : nullptr;
    return work;
}

CleaningWork g_work;

}  // namespace

const CleaningWork* OfflineCleaningWork(bool ntFamily) {
    g_work = MakeWork(ntFamily);
    return &g_work;
}
