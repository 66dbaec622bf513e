#include "tools/dat/check.h"

#include <string.h>

#include <algorithm>

#include "app/open_group.h"
#include "script/settings.h"
#include "disk/directory_list.h"
#include "report/message.h"
#include "report/prompts.h"
#include "script/data_error.h"
#include "script/dispatch.h"
#include "script/element_rules.h"
#include "script/grammar.h"
#include "script/identity.h"
#include "script/parser.h"
#include "script/pass.h"

namespace {

struct OpenTag {
    std::string name;
    std::vector<std::string> attributes;  // name, value, name, value ...
    const ElementEntry* parentTable;
    std::string parent;  // the enclosing element's name, "" for the document
    bool inStart;  // the start handlers of this tag are running
};

struct CheckState {
    OpenTag tag;
    std::vector<std::string> open;  // names of the open elements, outermost first
    std::vector<CheckFinding> findings;
};
CheckState* g_check;

std::string AllowedNames(const ElementEntry* table) {
    std::string names;
    for (const ElementEntry* row = table; row && row->name; ++row) {
        if (!names.empty()) names += ", ";
        names += row->name;
    }
    return names.empty() ? "no child elements" : names;
}

bool InTable(const ElementEntry* table, const std::string& name) {
    for (const ElementEntry* row = table; row && row->name; ++row)
        if (name == row->name) return true;
    return false;
}

// The attributes an element refuses others beside; null when it ignores
// the others.
const ElementRule* ClosedRule(const OpenTag& tag) {
    const ElementRule* rule = FindElementRule(tag.name.c_str(), tag.parent.c_str());
    return rule && !rule->othersIgnored ? rule : nullptr;
}

bool Listed(const ElementRule* rule, const std::string& name) {
    for (const AttributeRule* a = rule->attributes; a->name; ++a)
        if (name == a->name) return true;
    return false;
}

std::string AttributeNames(const ElementRule* rule) {
    std::string names;
    for (const AttributeRule* a = rule->attributes; a->name; ++a) names += std::string(names.empty() ? "" : ", ") + a->name;
    return names;
}

std::string DescribeStartError(const OpenTag& tag, int code, int depth) {
    if (code == DATA_ERROR_MEMORY) return "out of memory";
    if (depth >= ELEMENT_STACK_SIZE - 1) return "<" + tag.name + "> is nested deeper than 255 levels";
    if (!InTable(tag.parentTable, tag.name) && tag.name != "PRINT" && tag.name != "LOG")
        return "element <" + tag.name + "> is not allowed here; allowed: " + AllowedNames(tag.parentTable);
    const ElementRule* rule = ClosedRule(tag);
    std::string attributes;
    for (size_t i = 0; i + 1 < tag.attributes.size(); i += 2) {
        if (rule && !Listed(rule, tag.attributes[i]))
            return "attribute '" + tag.attributes[i] + "' is not accepted by <" + tag.name + ">; accepted: " +
                   AttributeNames(rule);
        attributes += " " + tag.attributes[i] + "=\"" + tag.attributes[i + 1] + "\"";
    }
    if (tag.name == "ACTION") return "<ACTION> has no FILE, PROCESS, THREAD, KEY or VALUE record to belong to";
    return "an attribute value of <" + tag.name + "> is not valid:" + attributes;
}

std::string DescribeError(ParseContext* context, int code) {
    if (g_check->tag.inStart) return DescribeStartError(g_check->tag, code, context ? context->depth : 0);
    if (code == DATA_ERROR_MEMORY) return "out of memory";
    return "the text of <" + g_check->tag.name + "> is not valid here";
}

bool Observe(ParseContext* context, int code) {
    CheckFinding finding;
    finding.line = g_parser ? static_cast<long>(XML_GetCurrentLineNumber(g_parser)) : 0;
    finding.column = g_parser ? static_cast<long>(XML_GetCurrentColumnNumber(g_parser)) + 1 : 0;
    finding.message = DescribeError(context, code);
    g_check->findings.push_back(finding);
    return true;  // go on, to find the next one
}

void CheckStart(void* userData, const char* name, const char** attributes) {
    ParseContext* context = static_cast<ParseContext*>(userData);
    OpenTag& tag = g_check->tag;
    tag.name = name;
    tag.attributes.clear();
    for (const char** a = attributes; a && a[0]; a += 2) {
        tag.attributes.push_back(a[0]);
        tag.attributes.push_back(a[1]);
    }
    int depth = context->depth < ELEMENT_STACK_SIZE ? context->depth : ELEMENT_STACK_SIZE - 1;
    tag.parentTable = context->stack[depth].children;
    tag.parent = g_check->open.empty() ? "" : g_check->open.back();
    tag.inStart = true;
    OnStartElement(userData, name, attributes);
    tag.inStart = false;
    g_check->open.push_back(name);
}

void CheckEnd(void* userData, const char* name) {
    if (!g_check->open.empty()) g_check->open.pop_back();
    OnEndElement(userData, name);
}

void CheckText(void* userData, const char* characters, int length) { OnCharacterData(userData, characters, length); }

// One pass over the text with the infected flag as given, so that elements
// excluded by their Infected attribute in one pass are checked in the other.
void CheckPass(const std::vector<uint8_t>& text, int32_t infected) {
    ParseContext context;
    ResetParseContext(&context, RUN_INITIAL_FLAGS);
    g_infected = infected;
    if (!CreateScriptParser(&context)) {
        g_check->findings.push_back({0, 0, "out of memory", false, "", ""});
        return;
    }
    g_check->open.clear();
    XML_SetElementHandler(g_parser, CheckStart, CheckEnd);
    XML_SetCharacterDataHandler(g_parser, CheckText);
    ResetElementStack(&context);
    const char* bytes = text.empty() ? "" : reinterpret_cast<const char*>(text.data());
    if (XML_Parse(g_parser, bytes, static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
        CheckFinding finding;
        finding.line = static_cast<long>(XML_GetCurrentLineNumber(g_parser));
        finding.column = static_cast<long>(XML_GetCurrentColumnNumber(g_parser)) + 1;
        finding.message = std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(g_parser));
        g_check->findings.push_back(finding);
    }
    ReleaseScriptParser();
    context.flags |= RUN_SKIP;
    CloseOpenGroup(&context);
    FreeContextTexts(&context);
    ClearDirectoryList();
}

}  // namespace

std::vector<CheckFinding> CheckScript(const std::vector<uint8_t>& text) {
    CheckState state;
    g_check = &state;
    // Nothing is shown or asked: with confirmation off every question counts
    // as Yes, so no element is left out for want of an answer.
    ReportState savedReport = g_report;
    g_report.sinks = nullptr;
    g_report.mainWindow = nullptr;
    g_report.logFile = nullptr;
    g_report.secondOutput = nullptr;
    const PromptPort* savedPrompts = g_prompts;
    g_prompts = nullptr;
    RunSettings savedSettings = g_settings;
    g_settings.confirmation = 0;
    int32_t savedIdentity = g_identitySeen;
    g_identitySeen = 1;  // as in a scan run: IDENTITY and its content are handled
    g_dataErrorObserver = Observe;

    CheckPass(text, 0);
    CheckPass(text, 1);

    g_dataErrorObserver = nullptr;
    g_identitySeen = savedIdentity;
    g_settings = savedSettings;
    g_prompts = savedPrompts;
    g_report = savedReport;
    g_check = nullptr;

    std::vector<CheckFinding>& f = state.findings;
    std::stable_sort(f.begin(), f.end(), [](const CheckFinding& a, const CheckFinding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    f.erase(std::unique(f.begin(), f.end(),
                        [](const CheckFinding& a, const CheckFinding& b) {
                            return a.line == b.line && a.column == b.column && a.message == b.message;
                        }),
            f.end());
    return f;
}
