// The work of a REGISTRY element at its end tag: keys deleted, values
// examined and deleted or set back to their normal data.
#pragma once
#include "script/action_keyword.h"
#include "system/registry_calls.h"
#include "system/registry_records.h"

// Carries out the KEY list, front first.
void ProcessRegistryKeys(const RegistryCalls* calls, KeyRecord* keys);
// Examines one value of an open key (the VALUE's name names it) and acts on
// it when it shows the threat.
void CheckRegistryValue(const RegistryCalls* calls, RegistryKey key, const KeyRecord* keyRecord, ValueRecord* value);

// Short name of a root in messages: "HKCR", "HKCU", "HKLM", ...
const char* RootShortName(uint32_t root);

// The keywords of a KEY's or VALUE's ACTION, compared exactly; indexed by
// the REGISTRY_* words.
enum { REGISTRY_DELETE, REGISTRY_RESET };
extern const ActionKeyword kRegistryKeywords[];
