#include "script_harness.h"

#include <expat.h>
#include <string.h>

#include "app/run_options.h"
#include "report/confirm.h"
#include "report/message.h"
#include "report/prompts.h"
#include "script/dispatch.h"
#include "script/identity.h"
#include "script/parser.h"
#include "script/pass.h"

namespace {

OutHandle const kLogFile = reinterpret_cast<OutHandle>(0x100);
OutHandle const kSecondFile = reinterpret_cast<OutHandle>(0x200);
int g_windowToken;
ScriptRecord* g_current;
std::string g_answers;

void Write(OutHandle file, const char* bytes, size_t count) {
    if (file == kLogFile) g_current->log.append(bytes, count);
    if (file == kSecondFile) g_current->second.append(bytes, count);
}
int Add(void*, const char* line) {
    g_current->list.push_back(line);
    return static_cast<int>(g_current->list.size()) - 1;
}
void Select(void*, int) {}
void Status(void*, const char*) {}
void Control(void*, int, const char*) {}
const MessageSinks kSinks = {Write, Add, Select, Status, Control};

int NextAnswer() {
    if (g_answers.empty()) return 'N';
    int a = g_answers[0];
    g_answers.erase(0, 1);
    return a;
}
int AskYesNo(void*, const char* text, const char*) {
    g_current->questions.push_back(text);
    return NextAnswer();
}
int AskYesAllNo(void*, const char* upper, const char* lower) {
    g_current->questions.push_back(std::string(upper) + "|" + lower);
    return NextAnswer();
}
void Show(void*, const char* text, const char*) { g_current->notices.push_back(text); }
const PromptPort kPrompts = {AskYesNo, AskYesAllNo, Show};

void Feed(ScriptRun* run, const std::string& xml, size_t pieceSize) {
    CreateScriptParser(&run->context);
    ResetElementStack(&run->context);
    run->parseStatus = 1;
    if (pieceSize == 0) pieceSize = xml.size() + 1;
    size_t at = 0;
    do {
        size_t n = std::min(pieceSize, xml.size() - at);
        bool last = at + n == xml.size();
        if (XML_Parse(g_parser, xml.data() + at, static_cast<int>(n), last) != XML_STATUS_OK) {
            run->parseStatus = 0;
            break;
        }
        at += n;
        if (last) break;
    } while (true);
    ReleaseScriptParser();
}

void Prepare(ScriptRun* run, uint32_t flags, bool identitySeen, bool logOpen) {
    ResetParseContext(&run->context, flags);
    g_current = &run->record;
    g_report.sinks = &kSinks;
    g_report.logFile = logOpen ? kLogFile : nullptr;
    g_report.secondOutput = kSecondFile;
    g_report.mainWindow = &g_windowToken;
    g_report.switches = SWITCH_DEFAULT_MESSAGES;
    g_prompts = &kPrompts;
    g_identitySeen = identitySeen;
    g_infected = 0;
    g_yesToAll = 0;
    g_settings.confirmation = 1;
    g_settings.dataFile = nullptr;
    g_settings.secondOutput = nullptr;
    FreeVariants();
}

}  // namespace

void SetPromptAnswers(const std::string& answers) { g_answers = answers; }

ScriptRun RunScript(const std::string& xml, uint32_t platformFlag, size_t pieceSize) {
    ScriptRun run;
    Prepare(&run, RUN_INITIAL_FLAGS | platformFlag, true, true);
    Feed(&run, xml, pieceSize);
    FreeContextTexts(&run.context);
    return run;
}

ScriptRun RunHeader(const std::string& xml) {
    ScriptRun run;
    Prepare(&run, 0, false, false);
    Feed(&run, xml, 0);
    FreeContextTexts(&run.context);
    return run;
}
