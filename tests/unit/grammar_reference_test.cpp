// The data-file reference: written from the grammar tables, complete, true to
// the element handlers, and committed as docs/data-file-reference.md.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "disk/file_actions.h"
#include "memory/memory_keywords.h"
#include "script/action_keyword.h"
#include "script/element_rules.h"
#include "script/grammar.h"
#include "system/registry_work.h"
#include "tools/dat/check.h"
#include "tools/dat/grammar_text.h"
#include "tools/dat/new_file.h"
#include "tools/dat/warnings.h"

namespace {

struct Place {
    std::vector<std::string> path;  // CLEANER ... the element itself
    const ElementEntry* row;
};

void Walk(const ElementEntry* table, std::vector<std::string> path, std::vector<Place>* places) {
    for (const ElementEntry* row = table; row && row->name; ++row) {
        std::vector<std::string> here = path;
        here.push_back(row->name);
        places->push_back(Place{here, row});
        Walk(row->children, here, places);
    }
}

std::vector<Place> AllPlaces() {
    std::vector<Place> places;
    Walk(kRootTable, {}, &places);
    return places;
}

std::string Parent(const Place& place) { return place.path.size() > 1 ? place.path[place.path.size() - 2] : ""; }

// A document that opens every element of the place's path, the last one
// with `attribute`. Ancestors carry the attributes they cannot do without.
std::string DocumentAt(const Place& place, const std::string& attribute) {
    std::string open, close;
    for (size_t i = 0; i < place.path.size(); ++i) {
        const std::string& name = place.path[i];
        bool last = i + 1 == place.path.size();
        std::string attributes;
        if (name == "INIFILE" && !(last && attribute.find("FileName=") == 0)) attributes += " FileName=\"c:\\w.ini\"";
        if (name == "CLEANER" && !(last && attribute.find("DataFile=") == 0)) attributes += " DataFile=\"x\"";
        if (last) attributes += " " + attribute;
        open += "<" + name + attributes + ">";
        close = "</" + name + ">" + close;
    }
    return open + close;
}

std::vector<CheckFinding> Check(const std::string& xml) {
    return CheckScript(std::vector<uint8_t>(xml.begin(), xml.end()));
}

std::string FindingsOf(const std::vector<CheckFinding>& findings) {
    std::string all;
    for (const CheckFinding& f : findings) all += f.message + "\n";
    return all;
}

TEST(GrammarReference, EveryPlaceInTheTablesHasItsRuleAndEveryRuleAPlace) {
    std::vector<Place> places = AllPlaces();
    std::set<const ElementRule*> used;
    std::set<std::string> distinct;  // PATCH stands in three ACTIONs under one rule
    for (const Place& place : places) {
        distinct.insert(Parent(place) + ">" + place.row->name);
        const ElementRule* rule = FindElementRule(place.row->name, Parent(place).c_str());
        ASSERT_NE(nullptr, rule) << place.row->name << " in " << Parent(place);
        EXPECT_STRNE("*", rule->parent) << place.row->name;
        used.insert(rule);
    }
    int rules = 0, anywhere = 0;
    for (const ElementRule* rule = kElementRules; rule->element; ++rule) {
        ++rules;
        if (std::string(rule->parent) == "*")
            ++anywhere;
        else
            EXPECT_EQ(1u, used.count(rule)) << rule->element << " in " << rule->parent << " stands nowhere";
    }
    EXPECT_EQ(static_cast<int>(distinct.size()) + anywhere, rules);
}

TEST(GrammarReference, NamesEveryElementAttributeAndKeyword) {
    std::string reference = DescribeGrammar(GRAMMAR_MARKDOWN);
    int elements = 0, attributes = 0;
    for (const ElementRule* rule = kElementRules; rule->element; ++rule) {
        std::string heading = std::string("\n## ") + rule->element + "\n";
        size_t section = reference.find(heading);
        ASSERT_NE(std::string::npos, section) << rule->element;
        ++elements;
        for (const AttributeRule* a = rule->attributes; a->name; ++a, ++attributes)
            EXPECT_NE(std::string::npos, reference.find(std::string("| `") + a->name + "` | " + (a->ignoresCase ? "any case" : "exact") + " | " + a->values, section))
                << rule->element << " " << a->name;
    }
    EXPECT_GT(elements, 25);
    EXPECT_GT(attributes, 90);
    ActionKeyword keyword;
    for (int i = 0; FileKeywordAt(i, &keyword); ++i)
        EXPECT_NE(std::string::npos, reference.find(std::string("| `") + keyword.word + "` | FILE |")) << keyword.word;
    for (const ActionKeyword* k = kMemoryKeywords; k->word; ++k)
        EXPECT_NE(std::string::npos, reference.find(std::string("| `") + k->word + "` | " + k->parents)) << k->word;
    for (const ActionKeyword* k = kRegistryKeywords; k->word; ++k)
        EXPECT_NE(std::string::npos, reference.find(std::string("| `") + k->word + "` | " + k->parents)) << k->word;
    size_t warnings = reference.find("\n## Check warnings\n");
    ASSERT_NE(std::string::npos, warnings);
    for (const WarningRule* r = kWarningRules; r->name; ++r)
        EXPECT_NE(std::string::npos, reference.find(std::string("| `") + r->name + "` | " + r->where + " | ", warnings))
            << r->name;
}

// The rules are what the handlers do: each listed attribute with its example
// value passes, and an unlisted one is refused exactly where the rule says so.
TEST(GrammarReference, RulesAgreeWithTheElementHandlers) {
    for (const Place& place : AllPlaces()) {
        const ElementRule* rule = FindElementRule(place.row->name, Parent(place).c_str());
        ASSERT_NE(nullptr, rule);
        for (const AttributeRule* a = rule->attributes; a->name; ++a) {
            std::string xml = DocumentAt(place, std::string(a->name) + "=\"" + a->example + "\"");
            EXPECT_EQ("", FindingsOf(Check(xml))) << xml;
        }
        std::string xml = DocumentAt(place, "Bogus=\"1\"");
        std::vector<CheckFinding> findings = Check(xml);
        if (rule->othersIgnored) {
            EXPECT_EQ("", FindingsOf(findings)) << xml;
        } else {
            ASSERT_EQ(1u, findings.size()) << xml;
            EXPECT_NE(std::string::npos, findings[0].message.find("'Bogus' is not accepted")) << findings[0].message;
        }
    }
}

TEST(GrammarReference, CommittedFileIsWhatTheTablesWrite) {
    std::ifstream in(MENDRIX_SOURCE_DIR "/docs/data-file-reference.md", std::ios::binary);
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_TRUE(committed.str() == DescribeGrammar(GRAMMAR_MARKDOWN))
        << "docs/data-file-reference.md is out of date: run mendrix-dat grammar --markdown > "
           "docs/data-file-reference.md";
}

}  // namespace

namespace {

// A starting file for a name that needs escaping is well-formed and clean,
// and names the threat where an analyst expects it.
TEST(NewDataFile, PassesCheckWithTheIdentityFilledIn) {
    struct {
        const char* name;
        const char* attribute;  // how the name stands in an attribute
    } cases[] = {
        {"W32.Example", "DataFile=\"W32.Example\""},
        {"Tom & \"Jerry\" <x>", "DataFile=\"Tom &amp; &quot;Jerry&quot; &lt;x&gt;\""},
        {"a--b", "GenericName=\"a--b\""},
    };
    for (const auto& c : cases) {
        std::string text = StartingDataFile(c.name);
        EXPECT_EQ("", FindingsOf(Check(text))) << c.name;
        EXPECT_EQ("", FindingsOf(WarnScript(std::vector<uint8_t>(text.begin(), text.end())))) << c.name;
        EXPECT_NE(std::string::npos, text.find(c.attribute)) << text;
        for (const char* section : {"<DISK>", "<MEMORY>", "<REGISTRY>", "<INIFILE", "<SERVICE>", "<UNREGDLL>",
                                    "<EXECUTE>", "<PATTERN", "<ACTION"})
            EXPECT_NE(std::string::npos, text.find(section)) << section;
    }
}

}  // namespace

namespace {

// The memory passes compare their keywords where they act on them; the
// reference's table must name exactly the words they compare.
TEST(GrammarReference, MemoryKeywordsAreTheWordsThePassesCompare) {
    namespace fs = std::filesystem;
    std::set<std::string> compared;
    const std::string call = "KeywordIs(";
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(MENDRIX_SOURCE_DIR) / "memory")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (size_t at = source.find(call); at != std::string::npos; at = source.find(call, at + 1)) {
            size_t open = source.find(", \"", at), close = source.find("\")", at);
            if (open == std::string::npos || close == std::string::npos || open > close || close - at > 60) continue;
            compared.insert(source.substr(open + 3, close - open - 3));
        }
    }
    std::set<std::string> listed;
    for (const ActionKeyword* k = kMemoryKeywords; k->word; ++k) listed.insert(k->word);
    EXPECT_EQ(listed, compared);
}

}  // namespace
