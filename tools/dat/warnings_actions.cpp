// The warnings about what elements do: ACTION keywords that do nothing where
// they stand, and os marks that leave out or keep what was not meant.
#include "disk/file_actions.h"
#include "memory/memory_keywords.h"
#include "script/action_keyword.h"
#include "script/text_util.h"
#include "system/registry_work.h"
#include "tools/dat/warnings.h"

namespace {

// Whom an ACTION's record belongs to: FILE, PROCESS, THREAD, KEY or VALUE
// ("" when it stands nowhere a record takes it), and that element.
const OutlineNode* OwnerOf(const OutlineNode& action, std::string* kind) {
    const OutlineNode* parent = action.parent;
    *kind = "";
    if (!parent) return nullptr;
    if (parent->name == "FILE" || parent->name == "PROCESS" || parent->name == "THREAD" || parent->name == "VALUE") {
        *kind = parent->name;
        return parent;
    }
    if (parent->name != "KEY" || parent->ParentName() != "REGISTRY") return nullptr;
    const OutlineNode* value = nullptr;
    for (const std::unique_ptr<OutlineNode>& child : parent->children) {
        if (child.get() == &action) break;
        if (child->name == "VALUE") value = child.get();
    }
    *kind = value ? "VALUE" : "KEY";
    return value ? value : parent;
}

bool ListsParent(const char* parents, const std::string& kind) {
    std::string list = std::string(", ") + parents + ",";
    return list.find(", " + kind + ",") != std::string::npos;
}

// The words that act in an owner of this kind, as their subsystems compare
// them; *ignoresCase says how.
std::vector<std::string> KeywordsOf(const std::string& kind, bool* ignoresCase) {
    std::vector<std::string> words;
    *ignoresCase = kind == "FILE";
    ActionKeyword keyword;
    if (kind == "FILE")
        for (int i = 0; FileKeywordAt(i, &keyword); ++i) words.push_back(keyword.word);
    for (const ActionKeyword* k = kMemoryKeywords; k->word; ++k)
        if (ListsParent(k->parents, kind)) words.push_back(k->word);
    for (const ActionKeyword* k = kRegistryKeywords; k->word; ++k)
        if (ListsParent(k->parents, kind)) words.push_back(k->word);
    return words;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string all;
    for (const std::string& w : words) all += (all.empty() ? "" : ", ") + w;
    return all;
}

// Answers whether the word acts in the owner; when it does not, *near is
// the keyword it differs from only in letter case, if any.
bool Acts(const std::string& kind, const std::string& word, std::string* near) {
    // A THREAD whose patterns fit ends the thread for any word but its own
    // others; a PROCESS suspends for any word beginning with suspend.
    if (kind == "THREAD") return true;
    if (kind == "PROCESS" && word.compare(0, 7, "suspend") == 0) return true;
    bool ignoresCase = false;
    for (const std::string& known : KeywordsOf(kind, &ignoresCase)) {
        if (ignoresCase ? EqualsIgnoreCase(known.c_str(), word.c_str()) : known == word) return true;
        if (EqualsIgnoreCase(known.c_str(), word.c_str())) *near = known;
    }
    return false;
}

bool HasPatch(const OutlineNode& action, const OutlineNode& owner) {
    if (!ChildrenNamed(action, "PATCH").empty()) return true;
    // A PATTERN after the ACTION is taken as one of its PATCHes.
    bool after = false;
    for (const std::unique_ptr<OutlineNode>& child : owner.children) {
        if (child.get() == &action) after = true;
        else if (after && child->name == "PATTERN") return true;
    }
    return false;
}

// What the keyword lacks where it stands, or "".
std::string Missing(const std::string& kind, const std::string& word, const OutlineNode& action,
                    const OutlineNode& owner, std::string* instead) {
    bool fileWord = kind == "FILE";
    if (kind == "PROCESS" && word == "eject" && !action.Attribute("dll")) {
        *instead = "dll=\"name.dll\" on the ACTION: the library to release";
        return "eject without dll releases no library";
    }
    if (fileWord && (EqualsIgnoreCase(word.c_str(), "copy") || EqualsIgnoreCase(word.c_str(), "move")) &&
        !action.Attribute("destination")) {
        *instead = "destination=\"temp\\sample.bin\": where the file goes";
        return word + " without destination does nothing";
    }
    if (kind == "VALUE" && word == "reset" && ChildrenNamed(owner, "DEFAULT").empty()) {
        *instead = "a DEFAULT in the VALUE with the value's normal data";
        return "reset without a DEFAULT changes nothing";
    }
    if ((kind == "PROCESS" || kind == "THREAD") && word == "write" && !HasPatch(action, owner)) {
        *instead = "PATCH elements inside the ACTION with the bytes to write";
        return "write without PATCH writes nothing";
    }
    return "";
}

void CheckAction(const OutlineNode& action, WarningSink* sink) {
    std::string kind;
    const OutlineNode* owner = OwnerOf(action, &kind);
    if (!owner) return;
    std::string word = KeywordOf(action);
    if (ActionOf(*owner) != &action) {
        sink->Add(action.offset, "a later ACTION of the same " + kind + " replaces this one, which does nothing",
                  "one ACTION per " + kind);
        return;
    }
    if (kind == "KEY" && !ChildrenNamed(*owner, "VALUE").empty()) {
        sink->Add(action.offset, "the KEY's own ACTION is not used, since the KEY has VALUEs",
                  "the ACTION inside each VALUE, or a KEY of its own without VALUEs to delete the key");
        return;
    }
    if (word.empty()) {
        bool blankFirst = !action.text.empty() && action.text.find_first_not_of(" \t\r\n") != std::string::npos;
        bool storesOnly = (kind == "FILE" || kind == "PROCESS") &&
                          (action.Attribute("store") || action.Attribute("storeList") || action.Attribute("SetInfected"));
        if (blankFirst) {
            std::string rest = action.text.substr(action.text.find_first_not_of(" \t\r\n"));
            sink->Add(action.textOffset, "the ACTION's text begins with white space, which leaves its keyword empty",
                      "the keyword right after the tag: <ACTION>" + rest.substr(0, rest.find_first_of(" \t\r\n")) +
                          "</ACTION>");
        }
        else if (!storesOnly)
            sink->Add(action.offset, "the ACTION has no keyword, so it does nothing to the " + kind,
                      "one of the keywords of " + kind + " as its text");
        return;
    }
    std::string near;
    if (!Acts(kind, word, &near)) {
        bool ignoresCase = false;
        sink->Add(action.textOffset >= 0 ? action.textOffset : action.offset,
                  "\"" + word + "\" does nothing in a " + kind + (near.empty() ? "" : ": its keywords are compared exactly"),
                  near.empty() ? "one of the keywords of " + kind + ": " + Joined(KeywordsOf(kind, &ignoresCase))
                               : "\"" + near + "\"");
        return;
    }
    std::string instead, missing = Missing(kind, word, action, *owner, &instead);
    if (!missing.empty()) sink->Add(action.offset, missing, instead);
}

// The os mark of the element or the nearest enclosing one, and where it is.
const OutlineNode* MarkedFamily(const OutlineNode& element, std::string* family) {
    for (const OutlineNode* e = &element; e; e = e->parent) {
        const OutlineAttribute* os = e->Attribute("os");
        if (os && (os->value == "WIN9X" || os->value == "WINNT")) {
            *family = os->value;
            return e;
        }
    }
    return nullptr;
}

// Work the Windows 95, 98 and Me family does not do, or "".
std::string NotDoneOn9x(const OutlineNode& element) {
    if (element.name == "THREAD" && element.ParentName() == "MEMORY") return "THREAD elements do nothing";
    if (element.name == "SERVICE") return "there are no services";
    if (element.name == "ACTION" && element.ParentName() == "PROCESS") {
        std::string word = KeywordOf(element);
        if (word == "eject") return "eject does nothing";
        if (word.compare(0, 7, "suspend") == 0) return word + " does nothing";
    }
    return "";
}

}  // namespace

void WarnKeywordDoesNothing(const OutlineNode& element, WarningSink* sink) {
    if (element.name == "ACTION") CheckAction(element, sink);
    if (element.name == "THREAD" && element.ParentName() == "MEMORY") {
        bool patterns = false;
        for (const std::unique_ptr<OutlineNode>& child : element.children) {
            if (child->name == "ACTION") break;
            if (child->name == "PATTERN") patterns = true;
        }
        if (!patterns && ActionOf(element))
            sink->Add(element.offset, "a THREAD without PATTERN examines no thread, so its ACTION does nothing",
                      "a PATTERN before the ACTION that the thread's code or stack holds");
    }
}

void WarnOsFamily(const OutlineNode& element, WarningSink* sink) {
    const OutlineAttribute* os = element.Attribute("os");
    if (os && os->value != "WIN9X" && os->value != "WINNT") {
        std::string upper = os->value;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        sink->Add(os->offset, "os=\"" + os->value + "\" excludes nothing: only WIN9X and WINNT, in capitals, name a family",
                  upper == "WIN9X" || upper == "WINNT" ? "os=\"" + upper + "\"" : "os=\"WIN9X\" or os=\"WINNT\"");
        return;
    }
    std::string family, outer;
    if (os && element.parent && MarkedFamily(*element.parent, &outer) && outer != os->value) {
        sink->Add(os->offset, "os=\"" + os->value + "\" inside an element marked os=\"" + outer + "\": it never runs",
                  "one family for the element and those around it");
        return;
    }
    const OutlineNode* marked = MarkedFamily(element, &family);
    if (!marked || family != "WIN9X") return;
    std::string notDone = NotDoneOn9x(element);
    if (notDone.empty()) return;
    long line = 0, column = 0;
    sink->Outline().PositionOf(marked->Attribute("os")->offset, &line, &column);
    sink->Add(element.offset,
              "this " + element.name + " counts only on Windows 95, 98 and Me (os=\"WIN9X\" at line " +
                  std::to_string(line) + "), where " + notDone,
              "os=\"WINNT\" in place of os=\"WIN9X\", or no os");
}
