#include "system/ini_entries.h"

#include <stdlib.h>
#include <string.h>

#include "report/counters.h"
#include "report/message.h"
#include "script/text_util.h"
#include "script/undo_saving.h"

namespace {

const uint32_t kValueSize = 256;

void FlushProfile(const ProfileCalls* calls, const char* file) { calls->write(nullptr, nullptr, nullptr, file); }

bool ShowsThreat(const char* value, const IniKeyRecord* key) {
    if (key->virusText) return strstr(value, key->virusText) != nullptr;
    return !key->defaultText || !*key->defaultText || !strstr(value, key->defaultText);
}

}  // namespace

void FreeIniKeyList(IniKeyRecord* first) {
    while (first) {
        IniKeyRecord* next = first->next;
        free(first->section);
        free(first->name);
        free(first->virusText);
        free(first->defaultText);
        free(first);
        first = next;
    }
}

void RemoveIniEntries(const ProfileCalls* calls, const char* file, IniKeyRecord* keys) {
    FlushProfile(calls, file);
    for (IniKeyRecord* key = keys; key; key = key->next) {
        // Without a section or a name the profile functions would read and
        // write whole sections: such a KEY names no entry.
        if (!key->section || !key->name) continue;
        char value[kValueSize];
        if (calls->read(key->section, key->name, key->defaultText, value, kValueSize, file) == 0) continue;
        value[kValueSize - 1] = 0;
        LowerCaseText(value);
        LowerCaseText(key->virusText);
        LowerCaseText(key->defaultText);
        if (!ShowsThreat(value, key)) continue;

        CountEvent(EVENT_INI_FOUND);
        if (!SaveIniEntryForUndo(file, key->section, key->name, key->defaultText)) {
            ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not remove the virus entry from %s: could not save it for undo (%s)\r\n",
                          file, UndoSaveProblem());
            continue;
        }
        bool made = calls->write(key->section, key->name, key->defaultText, file);
        UndoChangeDone(made);
        if (made) {
            CountEvent(EVENT_INI_CHANGED);
            ReportMessage(MSG_NO_LIST | MSG_INFO, "Entry successfully removed from %s\r\n", file);
            FlushProfile(calls, file);
        } else {
            ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not remove the virus entry from %s\r\n", file);
        }
    }
}
