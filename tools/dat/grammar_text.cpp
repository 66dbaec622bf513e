#include "tools/dat/grammar_text.h"

#include <string.h>

#include <vector>

#include "disk/file_actions.h"
#include "memory/memory_keywords.h"
#include "script/action_keyword.h"
#include "script/element_rules.h"
#include "script/grammar.h"
#include "system/registry_work.h"
#include "tools/dat/warnings.h"

namespace {

// One place an element stands: its row in its parent's table.
struct Place {
    const ElementEntry* row;
    std::string parent;  // "" for the document
    std::string path;    // its ancestors: CLEANER > IDENTITY > DISK ...
    int depth;
};

void Walk(const ElementEntry* table, const std::string& parent, const std::string& path, int depth,
          std::vector<Place>* places) {
    for (const ElementEntry* row = table; row && row->name; ++row) {
        std::string here = path.empty() ? row->name : path + " > " + row->name;
        places->push_back(Place{row, parent, path.empty() ? "the document" : path, depth});
        Walk(row->children, row->name, here, depth + 1, places);
    }
}

std::vector<ActionKeyword> AllKeywords() {
    std::vector<ActionKeyword> all;
    ActionKeyword keyword;
    for (int i = 0; FileKeywordAt(i, &keyword); ++i) all.push_back(keyword);
    for (const ActionKeyword* k = kMemoryKeywords; k->word; ++k) all.push_back(*k);
    for (const ActionKeyword* k = kRegistryKeywords; k->word; ++k) all.push_back(*k);
    return all;
}

// Writes the same content as plain text or as Markdown.
struct Writer {
    GrammarFormat format;
    std::string out;

    bool Markdown() const { return format == GRAMMAR_MARKDOWN; }
    void Line(const std::string& text = "") { out += text + "\n"; }
    void Heading(int level, const std::string& text) {
        if (Markdown()) {
            Line(std::string(level, '#') + " " + text);
        } else {
            Line(text);
            Line(std::string(text.size(), level == 1 ? '=' : '-'));
        }
        Line();
    }
    std::string Code(const std::string& text) const { return Markdown() ? "`" + text + "`" : text; }
    void TableHead(const std::vector<std::string>& columns) {
        if (!Markdown()) return;
        std::string head = "|", rule = "|";
        for (const std::string& c : columns) {
            head += " " + c + " |";
            rule += "---|";
        }
        Line(head);
        Line(rule);
    }
    // Plain text: "first (the middle cells): last".
    void TableRow(const std::vector<std::string>& cells) {
        std::string row = Markdown() ? "|" : "  " + cells[0];
        if (Markdown()) {
            for (const std::string& c : cells) row += " " + Escaped(c) + " |";
        } else {
            std::string middle;
            for (size_t i = 1; i + 1 < cells.size(); ++i) middle += (middle.empty() ? "" : "; ") + cells[i];
            row += " (" + middle + "): " + cells.back();
        }
        Line(row);
    }
    static std::string Escaped(const std::string& cell) {
        std::string escaped;
        for (char c : cell) {
            if (c == '|') escaped += '\\';
            escaped += c;
        }
        return escaped;
    }
};

std::string CaseWord(int ignoresCase) { return ignoresCase ? "any case" : "exact"; }

std::string ChildNames(const ElementEntry* children) {
    std::string names;
    for (const ElementEntry* row = children; row && row->name; ++row) names += std::string(row->name) + ", ";
    return names + "PRINT, LOG";
}

// Places of one element that share its attributes and text are described
// together.
bool SameDescription(const ElementRule* a, const ElementRule* b) {
    return a && b && strcmp(a->element, b->element) == 0 && a->attributes == b->attributes &&
           a->othersIgnored == b->othersIgnored &&
           ((!a->text && !b->text) || (a->text && b->text && strcmp(a->text, b->text) == 0));
}

void DescribeElement(Writer* w, const std::vector<const Place*>& places, const ElementRule* rule) {
    w->Heading(2, rule->element);
    const ElementEntry* row = places.empty() ? nullptr : places[0]->row;
    if (places.empty()) {
        w->Line("Stands in: any element (outside the grammar tables).");
        w->Line();
        w->Line(rule->purpose);
    } else {
        w->Line("Stands in:");
        w->Line();
        for (const Place* p : places) {
            const ElementRule* own = FindElementRule(rule->element, p->parent.c_str());
            std::string where = p->parent.empty() ? p->path : w->Code(p->path);
            w->Line("- " + where + ": " + (own ? own->purpose : ""));
        }
    }
    w->Line();
    if (row) {
        w->Line("May hold: " + (row->children ? ChildNames(row->children) : std::string("no elements (any inside are ignored)")) + ".");
        w->Line();
    }
    w->Line("Text: " + std::string(rule->text ? rule->text : "none (white space is dropped)") + ".");
    w->Line();
    w->Line("Attributes:");
    w->Line();
    w->TableHead({"Attribute", "Compared", "Values"});
    for (const AttributeRule* a = rule->attributes; a->name; ++a) w->TableRow({w->Code(a->name), CaseWord(a->ignoresCase), a->values});
    w->Line();
    w->Line(rule->othersIgnored ? "Any other attribute is ignored."
                                : "Any other attribute is a data-file error: the run stops doing work.");
    w->Line();
}

}  // namespace

std::string DescribeGrammar(GrammarFormat format) {
    Writer w{format, ""};
    std::vector<Place> places;
    Walk(kRootTable, "", "", 0, &places);

    w.Heading(1, "Data file reference");
    w.Line("Written by " + w.Code("mendrix-dat grammar" + std::string(format == GRAMMAR_MARKDOWN ? " --markdown" : "")) +
           " from the tables the program reads data files with.");
    w.Line("Element and attribute names are compared exactly; numbers are hexadecimal without a prefix.");
    w.Line("Every element may carry the generic attributes where its own list names them.");
    w.Line();

    w.Heading(2, "Where elements stand");
    for (const Place& p : places) w.Line(std::string(2 * p.depth, ' ') + "- " + w.Code(p.row->name));
    w.Line();
    w.Line("PRINT and LOG may stand in any element.");
    w.Line();

    std::vector<bool> done(places.size(), false);
    for (size_t i = 0; i < places.size(); ++i) {
        if (done[i]) continue;
        const ElementRule* rule = FindElementRule(places[i].row->name, places[i].parent.c_str());
        if (!rule) continue;
        std::vector<const Place*> same;
        for (size_t j = i; j < places.size(); ++j) {
            if (done[j]) continue;
            const ElementRule* other = FindElementRule(places[j].row->name, places[j].parent.c_str());
            if (SameDescription(rule, other)) {
                same.push_back(&places[j]);
                done[j] = true;
            }
        }
        DescribeElement(&w, same, rule);
    }
    for (const ElementRule* rule = kElementRules; rule->element; ++rule)
        if (strcmp(rule->parent, "*") == 0) DescribeElement(&w, {}, rule);

    w.Heading(2, "Generic attributes");
    w.Line("Applied before an element's own handler; an element takes those its list names.");
    w.Line();
    w.TableHead({"Attribute", "Compared", "Values"});
    for (const AttributeRule* a = kGenericAttributes; a->name; ++a)
        w.TableRow({w.Code(a->name), CaseWord(a->ignoresCase), a->values});
    w.Line();

    w.Heading(2, "ACTION keywords");
    w.Line("The text of an ACTION. Other words are accepted and change nothing.");
    w.Line();
    w.TableHead({"Keyword", "In", "Compared", "What it does"});
    for (const ActionKeyword& k : AllKeywords()) w.TableRow({w.Code(k.word), k.parents, CaseWord(k.ignoresCase), k.effect});
    w.Line();

    w.Heading(2, "Check warnings");
    w.Line(w.Code("mendrix-dat check") + " also warns of what the program accepts but cannot be what was meant, " +
           "each warning with its place, what to write instead and its name below; warnings fail the check only " +
           "with " + w.Code("--strict") + ".");
    w.Line();
    w.TableHead({"Warning", "Looks at", "Finds", "Write instead"});
    for (const WarningRule* r = kWarningRules; r->name; ++r) w.TableRow({w.Code(r->name), r->where, r->finds, r->instead});
    return w.out;
}
