#include "script/grammar.h"

#include "disk/disk_element.h"
#include "memory/memory_element.h"
#include "script/action_element.h"
#include "script/identity.h"
#include "script/pattern_element.h"
#include "script/element_text.h"
#include "system/command_elements.h"
#include "system/ini_element.h"
#include "system/registry_element.h"
#include "system/service_element.h"

// Elements whose work belongs to a cleaning subsystem not yet in this build
// have their rows, so that the grammar accepts them, but no handlers: their
// text has no record to go to yet and is dropped.

static const ElementEntry kActionTable[] = {
    {"PATCH", nullptr, OnPatternStart, OnPatternText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// Shared by FILE, PROCESS and THREAD.
static const ElementEntry kTargetTable[] = {
    {"ACTION", kActionTable, OnActionStart, CollectElementText, nullptr},
    {"PATTERN", nullptr, OnPatternStart, OnPatternText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kDiskTable[] = {
    {"DIRECTORY", nullptr, OnDirectoryStart, CollectElementText, OnDirectoryEnd},
    {"FILE", kTargetTable, OnFileStart, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kMemoryTable[] = {
    {"PROCESS", kTargetTable, OnProcessStart, nullptr, nullptr},
    {"THREAD", kTargetTable, OnProcessStart, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kRegistryValueTable[] = {
    {"ACTION", nullptr, OnActionStart, CollectElementText, nullptr},
    {"DEFAULT", nullptr, OnRegistryDefaultStart, CollectElementText, OnRegistryDefaultEnd},
    {"VIRUSVALUE", nullptr, OnVirusValueStart, CollectElementText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kRegistryKeyTable[] = {
    {"VALUE", kRegistryValueTable, OnRegistryValueStart, nullptr, nullptr},
    {"ACTION", nullptr, OnActionStart, CollectElementText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kRegistryTable[] = {
    {"KEY", kRegistryKeyTable, OnRegistryKeyStart, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kIniKeyTable[] = {
    {"DEFAULT", nullptr, nullptr, CollectElementText, nullptr},
    {"VIRUSVALUE", nullptr, nullptr, CollectElementText, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static const ElementEntry kIniFileTable[] = {
    {"KEY", kIniKeyTable, OnIniKeyStart, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ElementEntry kIdentityTable[] = {
    {"DISK", kDiskTable, OnDiskStart, nullptr, OnDiskEnd},
    {"MEMORY", kMemoryTable, OnMemoryStart, nullptr, OnMemoryEnd},
    {"REGISTRY", kRegistryTable, OnRegistryStart, nullptr, OnRegistryEnd},
    {"EXECUTE", nullptr, nullptr, CollectElementText, OnExecuteEnd},
    {"UNREGDLL", nullptr, nullptr, CollectElementText, OnUnregDllEnd},
    {"INIFILE", kIniFileTable, OnIniFileStart, nullptr, OnIniFileEnd},
    {"SERVICE", nullptr, nullptr, CollectElementText, OnServiceEnd},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ElementEntry kCleanerTable[] = {
    {"HELP", nullptr, nullptr, CollectElementText, nullptr},
    {"IDENTITY", kIdentityTable, OnIdentityStart, nullptr, OnIdentityEnd},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ElementEntry kRootTable[] = {
    {"CLEANER", kCleanerTable, OnCleanerStart, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
