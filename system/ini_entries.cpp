#include "system/ini_entries.h"

#include <stdlib.h>
#include <string.h>

#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/text_util.h"
#include "script/undo_saving.h"

namespace {

const uint32_t kValueSize = 256;

void FlushProfile(const ProfileCalls* calls, const char* file) { calls->write(nullptr, nullptr, nullptr, file); }

bool ShowsThreat(const char* value, const IniKeyRecord* key) {
    if (key->virusText) return strstr(value, key->virusText) != nullptr;
    return !key->defaultText || !*key->defaultText || !strstr(value, key->defaultText);
}

// What made the entry act, as the run report names it: the VIRUSVALUE, or
// the DEFAULT the value does not hold. Null when any value acts.
char* MatchedNote(const IniKeyRecord* key) {
    if (key->virusText) return CopyText(key->virusText, strlen(key->virusText));
    if (key->defaultText && *key->defaultText) return FormatText("does not contain DEFAULT %s", key->defaultText);
    return nullptr;
}

// With a DEFAULT the entry is set to it, without one it is deleted.
void ReportWouldChange(const char* file, const IniKeyRecord* key) {
    if (key->defaultText)
        ReportWouldDo("reset the entry %s of section [%s] in %s to %s", key->name, key->section, file, key->defaultText);
    else
        ReportWouldDo("remove the entry %s of section [%s] from %s", key->name, key->section, file);
}

// Sets or deletes one entry that shows the threat. Answers the outcome for
// the run report and, for a failed write, the error in *error.
int32_t ChangeEntry(const ProfileCalls* calls, const char* file, const char* shownAs, const IniKeyRecord* key,
                    uint32_t* error) {
    if (!SaveIniEntryForUndo(file, key->section, key->name, key->defaultText)) {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not remove the virus entry from %s: could not save it for undo (%s)\r\n",
                      shownAs, UndoSaveProblem());
        return OUTCOME_NOT_SAVED;
    }
    bool made = calls->write(key->section, key->name, key->defaultText, file);
    if (!made) *error = PlatformLastError();
    UndoChangeDone(made);
    if (made) {
        CountEvent(EVENT_INI_CHANGED);
        ReportMessage(MSG_NO_LIST | MSG_INFO, "Entry successfully removed from %s\r\n", shownAs);
        FlushProfile(calls, file);
    } else {
        ReportMessage(MSG_NO_LIST | MSG_ERROR, "Could not remove the virus entry from %s\r\n", shownAs);
    }
    return OutcomeOf(made);
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

// A report-only run writes nothing to the profile, not even the flushes.
void RemoveIniEntries(const ProfileCalls* calls, const char* file, const char* shownAs, IniKeyRecord* keys) {
    bool reportOnly = ReportOnlyRun();
    if (!reportOnly) FlushProfile(calls, file);
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
        int32_t outcome = OUTCOME_WOULD;
        uint32_t error = 0;
        if (reportOnly)
            ReportWouldChange(shownAs, key);
        else
            outcome = ChangeEntry(calls, file, shownAs, key, &error);
        char* subject = FormatText("%s [%s] %s", shownAs, key->section, key->name);
        char* matched = MatchedNote(key);
        RecordItem(ITEM_INI_ENTRY, subject, matched, key->defaultText ? "reset" : "delete", outcome, error);
        free(subject);
        free(matched);
    }
}
