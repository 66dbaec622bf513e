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

// The element's text, taken over from the context so that the next element
// starts without one.
static char* TakeCommandText(ParseContext* context) {
    char* text = context->commandText;
    context->commandText = nullptr;
    return text;
}

// Replaces *text by replacement when there is one.
static void Replace(char** text, char* replacement) {
    if (!replacement) return;
    free(*text);
    *text = replacement;
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
    if (work && work->unregisterServer) {
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

char* QuotedCommandLine(const char* text) {
    char* line = CopyText(text, strlen(text));
    if (!line) return nullptr;
    // The closing quote goes, whatever the last character is. A lone quote
    // leaves an empty command line rather than one read past its end.
    line[strlen(line) - 1] = 0;
    if (!line[0]) return line;
    Replace(&line, SubstituteStore(line, nullptr));
    char* expanded = ExpandFolderMacro(line + 1);
    if (!expanded) expanded = CopyText(line + 1, strlen(line + 1));
    free(line);
    return expanded;
}

static void RemoveShares(ParseContext* context) {
    if (g_runOptions.sharesMode != 1) return;
    context->flags |= RUN_DID_SHARES;
    const CleaningWork* work = g_cleaning;
    if (work && work->removeShares) work->removeShares(g_platformCode);
}

static void RunQuotedCommand(const char* text) {
    char* line = QuotedCommandLine(text);
    if (!line) return;
    const CleaningWork* work = g_cleaning;
    if (work && work->runCommand) {
        if (ReportOnlyRun()) {
            ReportWouldDo("execute command %s", line);
            RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_WOULD);
        } else if (work->runCommand(line)) {
            RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_DONE);
        } else {
            uint32_t error = PlatformLastError();
            ReportMessage(MSG_WARNING, "Could not execute command:\r\n    %s", line);
            RecordItem(ITEM_COMMAND, line, text, "execute", OUTCOME_FAILED, error);
        }
    }
    free(line);
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
