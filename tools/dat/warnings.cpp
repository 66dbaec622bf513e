#include "tools/dat/warnings.h"

#include <algorithm>

// In the order a data file is usually written: files, then stores,
// registry values and actions, then what applies to any element.
const WarningRule kWarningRules[] = {
    {"folder-in-FileName", "FILE FileName",
     "a FileName holding a backslash: it is compared with the name part of each path, so it never matches",
     "only the name in FileName, and the folder in a DIRECTORY", WarnFolderInFileName},
    {"process-name-path", "PROCESS and THREAD ProcessName and path",
     "a ProcessName holding a backslash (it is compared with the executable's file name); a path without a folder, "
     "or ending in another file name than the ProcessName: they never match",
     "the file name in ProcessName and the full path in path", WarnProcessNameAndPath},
    {"extension-item", "FILE Extensions",
     "an item without its leading dot, with white space in it, or longer than 10 characters; more than 31 items; "
     "Extensions beside a FileName, which is not used",
     "items such as .exe,.scr: each with its dot, at most 10 characters and 31 items", WarnExtensionItems},
    {"file-accepts-all", "FILE",
     "a FILE with no FileName, Extensions, size or PATTERN whose ACTION changes files (delete, move, cut): it acts on "
     "every file in its folders",
     "name the file with FileName, Extensions, size or a PATTERN", WarnFileAcceptsAll},
    {"beyond-size", "PATTERN and cut in a FILE with size",
     "a PATTERN, or the start or end of a cut, that lies outside the FILE's size (or before the start of the file): "
     "the PATTERN never matches, the cut never happens or stops at the end",
     "an offset within the size, or origin=\"end\" with a negative offset for a PATTERN", WarnBeyondSize},
    {"store-before-filled", "texts and dll attributes that name a store",
     "a store named before the element that fills it has done its work (a section fills its stores at its end tag): "
     "the store is still empty there, and the text is used as written",
     "the section that fills the store before the element that uses it", WarnStoreBeforeFilled},
    {"value-never-matches", "VIRUSVALUE and DEFAULT",
     "a number written with 0x, read as 0 for a REG_DWORD value; a VIRUSVALUE with \"%s\" more than once, whose later "
     "\"%s\" are compared as written",
     "hexadecimal without a prefix (1A); one \"%s\" in a VIRUSVALUE", WarnValueNeverMatches},
    {"keyword-does-nothing", "ACTION",
     "an ACTION that does nothing where it stands: one that a later ACTION of its parent replaces, no keyword (its "
     "text begins with white space), a word its parent "
     "does not know (or in the wrong letter case), eject without dll, copy or move without destination, reset "
     "without DEFAULT, write without PATCH, a KEY's own ACTION when the KEY has VALUEs, a THREAD without PATTERN",
     "one of the keywords of its parent, on one line, with what it needs", WarnKeywordDoesNothing},
    {"os-family", "os",
     "an os value other than WIN9X or WINNT, which excludes nothing; an element marked for one family inside one "
     "marked for the other, which never runs; an element marked WIN9X whose work that family does not do (THREAD, "
     "SERVICE, eject, suspend)",
     "WIN9X or WINNT, on elements that work on that family", WarnOsFamily},
    {"white-space-around", "DIRECTORY, VIRUSVALUE, DEFAULT, SERVICE, UNREGDLL",
     "white space (a line break, indentation) before or after a text the program takes whole: it becomes part of "
     "the path, name or data",
     "the text right between the tags, on one line", WarnWhiteSpaceAround},
    {"ignored-attribute", "elements that ignore attributes they do not take",
     "an attribute the element does not take (a misspelt name): it is ignored without an error",
     "one of the element's attributes, spelt as the reference lists it", WarnIgnoredAttribute},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void WarningSink::Add(long offset, const std::string& what, const std::string& instead) {
    CheckFinding finding;
    outline_.PositionOf(offset, &finding.line, &finding.column);
    finding.message = what;
    finding.warning = true;
    finding.rule = rule_;
    finding.instead = instead;
    findings_->push_back(finding);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string KeywordOf(const OutlineNode& action) {
    return action.text.substr(0, action.text.find_first_of("\n\r\t "));
}

std::string ValueOf(const OutlineNode& element, const char* attribute) {
    const OutlineAttribute* a = element.Attribute(attribute);
    return a ? a->value : "";
}

long OffsetOf(const OutlineNode& element, const char* attribute) {
    const OutlineAttribute* a = element.Attribute(attribute);
    return a ? a->offset : element.offset;
}

std::vector<const OutlineNode*> ChildrenNamed(const OutlineNode& element, const char* name) {
    std::vector<const OutlineNode*> found;
    for (const std::unique_ptr<OutlineNode>& child : element.children)
        if (child->name == name) found.push_back(child.get());
    return found;
}

// An ACTION directly inside a KEY belongs to the KEY's latest VALUE before
// it, or to the KEY itself when no VALUE comes before it.
const OutlineNode* ActionOf(const OutlineNode& element) {
    const OutlineNode* action = nullptr;
    for (const std::unique_ptr<OutlineNode>& child : element.children)
        if (child->name == "ACTION") action = child.get();
    if (element.name == "KEY" && element.ParentName() == "REGISTRY") {
        action = nullptr;
        for (const std::unique_ptr<OutlineNode>& child : element.children) {
            if (child->name == "VALUE") break;
            if (child->name == "ACTION") action = child.get();
        }
    } else if (element.name == "VALUE" && element.parent) {
        bool after = false;
        for (const std::unique_ptr<OutlineNode>& sibling : element.parent->children) {
            if (sibling.get() == &element) {
                after = true;
            } else if (after && sibling->name == "VALUE") {
                break;
            } else if (after && sibling->name == "ACTION") {
                action = sibling.get();
            }
        }
    }
    return action;
}

std::vector<CheckFinding> WarnScript(const std::vector<uint8_t>& text) {
    std::vector<CheckFinding> findings;
    ScriptOutline outline;
    ReadOutline(text, &outline);
    if (!outline.wellFormed) return findings;
    std::vector<const OutlineNode*> elements;
    ListElements(outline.document, &elements);
    for (const WarningRule* rule = kWarningRules; rule->name; ++rule) {
        WarningSink sink(outline, rule->name, &findings);
        for (const OutlineNode* element : elements) rule->check(*element, &sink);
    }
    std::stable_sort(findings.begin(), findings.end(), [](const CheckFinding& a, const CheckFinding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return findings;
}
