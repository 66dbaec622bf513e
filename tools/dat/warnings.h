// The check's warnings: records the program accepts but that can never
// match, reach wider than their author meant, or do nothing where they
// stand. Each kind is one row of a table, as the grammar is; the authors'
// reference lists the rows.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/dat/check.h"
#include "tools/dat/script_outline.h"

// Where a row's check function puts what it found.
class WarningSink {
public:
    WarningSink(const ScriptOutline& outline, const char* rule, std::vector<CheckFinding>* findings)
        : outline_(outline), rule_(rule), findings_(findings) {}
    // One warning at a byte index: what is wrong, and what to write instead.
    void Add(long offset, const std::string& what, const std::string& instead);
    const ScriptOutline& Outline() const { return outline_; }

private:
    const ScriptOutline& outline_;
    const char* rule_;
    std::vector<CheckFinding>* findings_;
};

typedef void (*WarningCheck)(const OutlineNode& element, WarningSink* sink);

struct WarningRule {
    const char* name;  // null ends the table; shown after each warning
    const char* where;    // for the reference: what the row looks at
    const char* finds;    // for the reference: what is wrong
    const char* instead;  // for the reference: what to write instead
    WarningCheck check;   // called for every element, in document order
};

extern const WarningRule kWarningRules[];

// Every warning of a well-formed text, in the order of their places. A text
// that is not well-formed gives none: the check's errors say why.
std::vector<CheckFinding> WarnScript(const std::vector<uint8_t>& text);

// The row checks, by subject (warnings_files.cpp, warnings_actions.cpp,
// warnings_texts.cpp).
void WarnFolderInFileName(const OutlineNode& element, WarningSink* sink);
void WarnProcessNameAndPath(const OutlineNode& element, WarningSink* sink);
void WarnExtensionItems(const OutlineNode& element, WarningSink* sink);
void WarnFileAcceptsAll(const OutlineNode& element, WarningSink* sink);
void WarnBeyondSize(const OutlineNode& element, WarningSink* sink);
void WarnStoreBeforeFilled(const OutlineNode& element, WarningSink* sink);
void WarnValueNeverMatches(const OutlineNode& element, WarningSink* sink);
void WarnKeywordDoesNothing(const OutlineNode& element, WarningSink* sink);
void WarnOsFamily(const OutlineNode& element, WarningSink* sink);
void WarnWhiteSpaceAround(const OutlineNode& element, WarningSink* sink);
void WarnIgnoredAttribute(const OutlineNode& element, WarningSink* sink);

// Shared by the row checks.
// A blank as the handlers pass it over: space, tab or line end.
bool IsBlank(char c);
// The text the program reads as an ACTION's keyword: up to the first blank.
std::string KeywordOf(const OutlineNode& action);
// The value of an attribute, or "" when absent.
std::string ValueOf(const OutlineNode& element, const char* attribute);
// The byte index of an attribute, or of the element when it is absent.
long OffsetOf(const OutlineNode& element, const char* attribute);
// The ACTION an element's record ends up with (the last one), or null.
const OutlineNode* ActionOf(const OutlineNode& element);
// The children of that name.
std::vector<const OutlineNode*> ChildrenNamed(const OutlineNode& element, const char* name);
