#include "app/run_options.h"

#include <string.h>

#include "report/confirm.h"

namespace {

const char kDefaultLogName[] = "mendrix.log";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// Case-insensitive (ASCII) test that token begins with prefix, which is
// written in lower case; a shorter token never matches.
bool StartsWith(const char* token, const char* prefix) {
    for (; *prefix; ++token, ++prefix)
        if (*token == 0 || Lower(*token) != *prefix) return false;
    return true;
}

bool Equals(const char* token, const char* word) {
    return StartsWith(token, word) && token[strlen(word)] == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Answers false when the token sets no option. A value written in quotes
// and empty names no data file, as if -df= were not there at all.
bool ApplyToken(char* token, bool quoted) {
    if (StartsWith(token, "-lf=")) {
        // Longer names would not fit the buffer; such a token is dropped.
        if (strlen(token) < LOG_PATH_SIZE) strcpy(g_logPathBuffer, token + 4);
    } else if (StartsWith(token, "-df=")) {
        g_runOptions.dataFile = quoted && token[4] == 0 ? nullptr : token + 4;
    } else if (Equals(token, "-noc")) {
        g_runOptions.confirm = 0;
    } else if (Equals(token, "-nodisk")) {
        g_runOptions.noDisk = 1;
    } else if (Equals(token, "-v")) {
        g_runOptions.verbose = 1;
    } else if (Equals(token, "-s")) {
        g_runOptions.sharesMode = 1;
    } else if (Equals(token, "-rs")) {
        g_runOptions.sharesMode = 2;
    } else if (Equals(token, "-noundo")) {
        g_runOptions.noUndo = 1;
    } else if (Equals(token, "-undo")) {
        g_runOptions.undo = token + 5;
    } else if (StartsWith(token, "-undo=")) {
        g_runOptions.undo = token + 6;
    } else if (Equals(token, "-reportonly")) {
        g_runOptions.reportOnly = 1;
    } else if (StartsWith(token, "-json=")) {
        g_runOptions.jsonPath = token[6] ? token + 6 : nullptr;
    } else if (Equals(token, "-all")) {
        g_runOptions.allFiles = 1;
    } else {
        return false;
    }
    return true;
}

// Cuts the token that starts at p, in place: quotes are dropped and the
// characters after them move up. Answers where the next token may start,
// or null at the end of the text. A line without quotes is cut exactly
// at its blanks, as it always was.
char* CutToken(char* p, bool* quoted) {
    char* out = p;
    bool inQuotes = false;
    *quoted = false;
    for (; *p; ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
            *quoted = true;
        } else if (!inQuotes && IsBlank(*p)) {
            break;
        } else {
            *out++ = *p;
        }
    }
    char* next = *p ? p + 1 : nullptr;
    *out = 0;
    return next;
}

// The log goes to the root of the Windows directory's drive: "C:\WINDOWS"
// gives "C:\mendrix.log". Without a usable directory the path stays empty.
void SetDefaultLogPath() {
    g_logPathBuffer[0] = 0;
    if (!PlatformWindowsDirectory(g_logPathBuffer, LOG_PATH_SIZE)) {
        g_logPathBuffer[0] = 0;
        return;
    }
    g_logPathBuffer[LOG_PATH_SIZE - 1] = 0;
    // Anything shorter than "C:\" names no drive root to put the file in.
    if (strlen(g_logPathBuffer) < 3) {
        g_logPathBuffer[0] = 0;
        return;
    }
    strcpy(g_logPathBuffer + 3, kDefaultLogName);
}

}  // namespace

void ParseCommandLine(char* text, OtherTokenHandler otherToken) {
    g_runOptions = RunOptions{};
    g_runOptions.confirm = 1;
    g_logPathBuffer[0] = 0;

    char* p = text;
    while (p) {
        while (IsBlank(*p)) ++p;
        if (*p == 0) break;
        char* token = p;
        bool quoted = false;
        p = CutToken(token, &quoted);
        // A pair of quotes alone names nothing.
        if (token[0] && !ApplyToken(token, quoted) && otherToken) otherToken(token);
    }

    if (g_logPathBuffer[0] == 0) SetDefaultLogPath();
    g_runOptions.logPath = g_logPathBuffer;
}

void InstallRunOptions(const RunOptions* record) {
    if (!record) return;
    if (record != &g_runOptions) g_runOptions = *record;
    const RunOptions& o = g_runOptions;

    // Verbose logging, once asked for, stays on for the process.
    if (o.verbose) g_report.switches |= SWITCH_VERBOSE;
    g_settings.confirmation = o.confirm ? 1 : 0;
    g_yesToAll = 0;
    g_settings.allFiles = o.allFiles;
    g_settings.skipDisk = o.noDisk;
    g_settings.secondOutput = o.secondOutput;
    g_report.secondOutput = o.secondOutput;
    g_settings.dataFile = o.dataFile;
    g_settings.logPath = o.logPath;
    g_settings.reportOnly = o.reportOnly ? 1 : 0;
}
