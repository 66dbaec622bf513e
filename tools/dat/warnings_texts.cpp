// The warnings about texts and attributes: stores named before they are
// filled, registry tests that cannot match, white space kept in a text, and
// attributes an element passes over.
#include "script/element_rules.h"
#include "script/hex.h"
#include "tools/dat/warnings.h"

namespace {

const OutlineNode* Enclosing(const OutlineNode& element, const char* name) {
    for (const OutlineNode* e = element.parent; e; e = e->parent)
        if (e->name == name) return e;
    return nullptr;
}

// A place where a store's name is replaced by its value: the text, where it
// stands, when the replacement is made (a byte index in the document's
// timeline) and, for registry texts, the REGISTRY whose end makes it.
struct StoreUse {
    std::string text;
    long offset;
    long when;
    const OutlineNode* registry;
};

bool UseOf(const OutlineNode& element, StoreUse* use) {
    const std::string& name = element.name;
    std::string parent = element.ParentName();
    use->registry = nullptr;
    if ((name == "ACTION" || name == "PROCESS" || name == "THREAD") && element.Attribute("dll")) {
        // Replaced when the start tag is read.
        *use = StoreUse{ValueOf(element, "dll"), OffsetOf(element, "dll"), element.offset, nullptr};
        return true;
    }
    if ((name == "DIRECTORY" && parent == "DISK") || name == "EXECUTE" || name == "UNREGDLL") {
        *use = StoreUse{element.text, element.textOffset, element.endOffset, nullptr};
        return element.textOffset >= 0;
    }
    const OutlineNode* registry = Enclosing(element, "REGISTRY");
    if (!registry) return false;
    if (name == "KEY" && element.Attribute("name")) {
        *use = StoreUse{ValueOf(element, "name"), OffsetOf(element, "name"), registry->endOffset, registry};
        return true;
    }
    if (name == "VIRUSVALUE" && element.textOffset >= 0) {
        *use = StoreUse{element.text, element.textOffset, registry->endOffset, registry};
        return true;
    }
    return false;
}

// An ACTION that keeps what its FILE or VALUE found under a store name,
// and when: at the end tag of its DISK or REGISTRY.
bool FillOf(const OutlineNode& element, std::string* store, long* when, const OutlineNode** section) {
    if (element.name != "ACTION") return false;
    const OutlineAttribute* name = element.Attribute("storeList");
    if (!name) name = element.Attribute("store");
    if (!name || name->value.empty()) return false;
    *section = Enclosing(element, "DISK");
    if (!*section) *section = Enclosing(element, "REGISTRY");
    if (!*section) return false;
    *store = name->value;
    *when = (*section)->endOffset;
    return true;
}

bool HasHexPrefix(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string::npos && text.size() > first + 2 && text[first] == '0' &&
           (text[first + 1] == 'x' || text[first + 1] == 'X') && HexDigitValue(text[first + 2]) >= 0;
}

}  // namespace

// Looks at the whole document once, from its root element: the fillers
// are few, the uses many.
void WarnStoreBeforeFilled(const OutlineNode& element, WarningSink* sink) {
    if (!element.parent || element.parent->parent) return;
    std::vector<const OutlineNode*> all;
    ListElements(*element.parent, &all);
    struct Fill {
        const OutlineNode* action;
        const OutlineNode* section;
        std::string store;
        long when;
    };
    std::vector<Fill> fills;
    for (const OutlineNode* e : all) {
        Fill fill = {e, nullptr, "", 0};
        if (FillOf(*e, &fill.store, &fill.when, &fill.section)) fills.push_back(fill);
    }
    for (const OutlineNode* user : all) {
        StoreUse use;
        if (fills.empty() || !UseOf(*user, &use)) continue;
        const Fill* later = nullptr;
        bool filled = false;
        for (const Fill& fill : fills) {
            if (use.text.find(fill.store) == std::string::npos) continue;
            // Within one REGISTRY the order of its keys decides; that is
            // left to the author.
            if (fill.when < use.when || (use.registry && fill.section == use.registry)) filled = true;
            else if (!later) later = &fill;
        }
        if (filled || !later) continue;
        long line = 0, column = 0, endLine = 0;
        sink->Outline().PositionOf(later->action->offset, &line, &column);
        sink->Outline().PositionOf(later->section->endOffset, &endLine, &column);
        const std::string& section = later->section->name;
        sink->Add(use.offset,
                  "\"" + later->store + "\" names the store that the ACTION at line " + std::to_string(line) +
                      " fills, but its " + section + " fills it only at its end tag, at line " + std::to_string(endLine) +
                      ": here the store is still empty and the text is used as written",
                  "the " + section + " that fills " + later->store + " before this " + user->name);
    }
}

void WarnValueNeverMatches(const OutlineNode& element, WarningSink* sink) {
    bool virusValue = element.name == "VIRUSVALUE", normal = element.name == "DEFAULT";
    if ((!virusValue && !normal) || element.ParentName() != "VALUE") return;
    if (HasHexPrefix(element.text) && !(normal && element.Attribute("type"))) {
        size_t first = element.text.find_first_not_of(" \t\r\n");
        std::string digits = element.text.substr(first + 2);
        digits = digits.substr(0, digits.find_first_of(" \t\r\n"));
        sink->Add(element.textOffset,
                  "\"" + element.text.substr(first, digits.size() + 2) +
                      "\" is read as the number 0 for a REG_DWORD value: numbers are hexadecimal without a prefix",
                  "\"" + digits + "\"");
    }
    size_t capture = element.text.find("%s");
    if (virusValue && capture != std::string::npos && element.text.find("%s", capture + 2) != std::string::npos)
        sink->Add(element.textOffset,
                  "this VIRUSVALUE holds \"%s\" more than once: only the first captures, and the data must hold the "
                  "later ones as the letters %s",
                  "one \"%s\", with the text around it that the data holds");
}

void WarnWhiteSpaceAround(const OutlineNode& element, WarningSink* sink) {
    const std::string& name = element.name;
    bool taken = (name == "DIRECTORY" && element.ParentName() == "DISK") || name == "VIRUSVALUE" || name == "DEFAULT" ||
                 name == "SERVICE" || name == "UNREGDLL";
    const std::string& text = element.text;
    if (!taken || text.empty() || text.find_first_not_of(" \t\r\n") == std::string::npos) return;
    if (!IsBlank(text.front()) && !IsBlank(text.back())) return;
    size_t first = text.find_first_not_of(" \t\r\n"), last = text.find_last_not_of(" \t\r\n");
    std::string bare = text.substr(first, last - first + 1);
    sink->Add(element.textOffset,
              "the text of " + name + " has white space " + (IsBlank(text.front()) ? "before" : "after") +
                  " it, which the program keeps as part of it",
              "<" + name + ">" + bare + "</" + name + ">, on one line");
}

void WarnIgnoredAttribute(const OutlineNode& element, WarningSink* sink) {
    const ElementRule* rule = FindElementRule(element.name.c_str(), element.ParentName().c_str());
    if (!rule || !rule->othersIgnored) return;
    for (const OutlineAttribute& attribute : element.attributes) {
        bool known = false;
        for (const AttributeRule* a = rule->attributes; a->name && !known; ++a) known = attribute.name == a->name;
        for (const AttributeRule* a = kGenericAttributes; a->name && !known; ++a) known = attribute.name == a->name;
        if (known) continue;
        std::string names;
        for (const AttributeRule* a = rule->attributes; a->name; ++a) names += std::string(names.empty() ? "" : ", ") + a->name;
        sink->Add(attribute.offset, "attribute '" + attribute.name + "' is ignored by <" + element.name + ">",
                  "one of the attributes " + element.name + " takes: " + names);
    }
}
