// Runs XML text through the element callbacks, as a scan run or the header
// pass would, and records where every message and question went.
#pragma once
#include <string>
#include <vector>

#include "script/parse_context.h"

struct ScriptRecord {
    std::string log;                 // bytes written to the log
    std::string second;              // bytes written to the second output
    std::vector<std::string> list;   // list box entries
    std::vector<std::string> questions;
    std::vector<std::string> notices;  // PRINT boxes
};

struct ScriptRun {
    ParseContext context;
    ScriptRecord record;
    int parseStatus;  // 1 when Expat accepted the text
};

// Answers the prompts give, in order; 'N' once they run out.
void SetPromptAnswers(const std::string& answers);

// A scan run: the header pass is taken as done (IDENTITY already seen).
// Flags start as a scan's do, plus the platform flag given. The text is
// fed to the parser in pieces of the given size (0: all at once).
ScriptRun RunScript(const std::string& xml, uint32_t platformFlag = RUN_WINNT, size_t pieceSize = 0);
// The header pass: IDENTITY not yet seen, no log open, a main window.
ScriptRun RunHeader(const std::string& xml);
