// The entries an INIFILE element names, and the work at its end tag: each
// entry that shows the threat is set to its normal value or deleted.
#pragma once
#include "system/profile_calls.h"

struct IniKeyRecord {
    char* section;
    char* name;
    char* virusText;
    char* defaultText;
    IniKeyRecord* next;  // the previous KEY of the same INIFILE
};

void FreeIniKeyList(IniKeyRecord* first);

// Examines the entries of the list, front first, in the given file. The
// log and the run report name the file as shownAs: the file itself, or,
// where each user keeps the entries in the registry, the file and the user.
void RemoveIniEntries(const ProfileCalls* calls, const char* file, const char* shownAs, IniKeyRecord* keys);
