#include "system/command_elements.h"

#include <stdlib.h>
#include <string.h>

#include "disk/file_actions.h"
#include "report/folder_macro.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/cleaning.h"
#include "script/settings.h"
#include "script/store.h"
#include "script/text_util.h"
#include "system/command_line.h"

// The element's text, taken over from the context so that the next element
// starts without one.
static char* TakeCommandText(ParseContext* context) {
    char* text = context->commandText;
    context->commandText = nullptr;
    return text;
}

// Replaces *text by replacement when there is one.
static bool Replace(char** text, char* replacement) {
    if (!replacement) return false;
    free(*text);
    *text = replacement;
    return true;
}

void OnUnregDllEnd(ParseContext* context, const char* name) {
    char* text = TakeCommandText(context);
    if (!text) return;
    // The element's own text, for the run report.
    char* written = CopyText(text, strlen(text));
    Replace(&text, SubstituteStore(text, nullptr));
    // A failed expansion has reported itself; the unexpanded text is tried.
    Replace(&text, ExpandFolderMacro(text));
    const CleaningWork* work = g_cleaning;
    if (work && work->notRun) {
        work->notRun(ITEM_COM_SERVER, text);
    } else if (work && work->unregisterServer) {
        if (ReportOnlyRun()) {
            ReportWouldDo("unregister %s", text);
            RecordItem(ITEM_COM_SERVER, text, written, "unregister", OUTCOME_WOULD);
        } else if (work->unregisterServer(text)) {
            ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nUnregistered %s\r\n", text);
            RecordItem(ITEM_COM_SERVER, text, written, "unregister", OUTCOME_DONE);
        } else {
            // The work leaves the failure's code (a system error, or what
            // the library's entry answered) as the last error.
            uint32_t error = PlatformLastError();
            ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nCould not unregister %s\r\n", text);
            RecordItem(ITEM_COM_SERVER, text, written, "unregister", OUTCOME_FAILED, error);
        }
    }
    free(written);
    free(text);
}

bool QuotedCommandLine(const char* text, SplicedLine* line) {
    *line = SplicedLine{};
    line->text = CopyText(text, strlen(text));
    if (!line->text) return false;
    // The closing quote goes, whatever the last character is. A lone quote
    // leaves an empty command line rather than one read past its end.
    line->text[strlen(line->text) - 1] = 0;
    if (!line->text[0]) return true;
    // Where the value and the folder land is kept: they are the parts the
    // data file's writer did not see.
    size_t at = 0, length = 0;
    bool stored = Replace(&line->text, SubstituteStoreAt(line->text, nullptr, &at, &length));
    // The opening quote goes too; a store name that took it in with it
    // starts the value at the line's start.
    size_t valueBegin = at > 0 ? at - 1 : 0, valueEnd = at + length > 0 ? at + length - 1 : 0;
    const char* command = line->text + 1;
    size_t word = FolderMacroLength(command);
    char* expanded = ExpandFolderMacro(command);
    bool folder = expanded && word > 0;
    if (!expanded) expanded = CopyText(command, strlen(command));
    if (!expanded) {
        free(line->text);
        line->text = nullptr;
        return false;
    }
    size_t folderLength = folder ? strlen(expanded) - (strlen(command) - word) : 0;
    free(line->text);
    line->text = expanded;
    if (folder) {
        // The folder took the word's place; a value that gave part of the
        // word is now part of the folder.
        valueBegin = valueBegin < word ? 0 : valueBegin - word + folderLength;
        valueEnd = valueEnd <= word ? folderLength : valueEnd - word + folderLength;
        AddSplicedPiece(line, 0, folderLength);
    }
    if (stored) AddSplicedPiece(line, valueBegin, valueEnd);
    return true;
}

static void RemoveShares(ParseContext* context) {
    if (g_runOptions.sharesMode != 1) return;
    context->flags |= RUN_DID_SHARES;
    const CleaningWork* work = g_cleaning;
    if (work && work->removeShares) work->removeShares(g_platformCode);
}

// The messages and the run report show the command line as the data file
// and the stores gave it; what is started has its spliced pieces guarded.
static void RunQuotedCommand(const char* text) {
    SplicedLine spliced;
    if (!QuotedCommandLine(text, &spliced)) return;
    const char* line = spliced.text;
    const CleaningWork* work = g_cleaning;
    if (work && work->notRun) {
        work->notRun(ITEM_COMMAND, line);
    } else if (work && work->runCommand) {
        if (ReportOnlyRun()) {
            ReportWouldDo("execute command %s", line);
            RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_WOULD);
        } else {
            uint32_t error = 0;
            char* guarded = GuardedCommandLine(&spliced, &error);
            if (guarded && work->runCommand(guarded)) {
                RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_DONE);
            } else {
                if (guarded) error = PlatformLastError();
                ReportMessage(MSG_WARNING, "Could not execute command:\r\n    %s", line);
                RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_FAILED, error);
            }
            free(guarded);
        }
    }
    free(spliced.text);
}

void OnExecuteEnd(ParseContext* context, const char* name) {
    char* text = TakeCommandText(context);
    if (!text) return;
    if (EqualsIgnoreCase(text, "removeShares"))
        RemoveShares(context);
    else if (text[0] == '"')
        RunQuotedCommand(text);
    else
        PluginAction(text, nullptr, context);  // nothing stands behind it here
    free(text);
}
