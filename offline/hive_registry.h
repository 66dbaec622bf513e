// The installation's registry, read from its hive files through the hive
// library and changed in memory: HKLM\SOFTWARE and HKLM\SYSTEM from the
// configuration folder, HKCR from SOFTWARE\Classes, HKU from each profile's
// user hive and HKCU from the profile the run is working on. Nothing is
// written until the end of the run, when each changed hive is written beside
// the old file and renamed over it.
#pragma once
#include <stdint.h>

#include <string>

#include "system/registry_calls.h"

struct HiveFile;

// One user profile of the installation, from its ProfileList.
struct OfflineProfile {
    std::string sid;
    std::string windowsFolder;  // the profile's folder, as a Windows path
    HiveFile* hive;             // null when its user hive could not be read
    OfflineProfile* next;
};

// Opens a hive file (a path of this system). Answers null, with a message
// for the log in *problem, when it is not a hive the library reads whole.
HiveFile* OpenHiveFile(const std::string& path, const std::string& windowsPath, std::string* problem);

// The hives of the run. SOFTWARE and SYSTEM may be null (not readable).
void SetMachineHives(HiveFile* software, HiveFile* system);
void AddUserHive(const char* sid, const char* windowsFolder, HiveFile* hive);
const OfflineProfile* OfflineProfiles();
// The profile HKCU stands for; null: HKCU has no keys.
void SetCurrentProfile(const OfflineProfile* profile);
const OfflineProfile* CurrentProfile();
// The control set SYSTEM\CurrentControlSet names (SYSTEM\Select\Current).
const char* CurrentControlSetName();

const RegistryCalls* HiveRegistryCalls();
// The name of the key's subkey at index (ANSI), or empty past the last.
std::string SubkeyNameAt(uint32_t root, const char* path, size_t index);
// Deletes the key with everything below it, as removing a service does.
int32_t DeleteKeyTree(uint32_t root, const char* path);

// Writes every changed hive back. Before a hive is replaced, saveOld is
// given the old file's paths and may refuse (the undo journal could not keep
// it): that hive is then left as it was. Answers the number of hives that
// could not be written; a line for the log of each goes to report.
int CommitHives(bool (*saveOld)(const std::string& path, const std::string& windowsPath),
                void (*report)(const std::string& line));
// Drops every hive, written or not.
void CloseHives();
