// mendrix-dat: builds the stored data file from its XML text, unpacks it, and
// reports on one.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/dat/check.h"
#include "tools/dat/codec.h"
#include "tools/dat/file_io.h"
#include "tools/dat/fleet.h"
#include "tools/dat/grammar_text.h"
#include "tools/dat/new_file.h"
#include "tools/dat/warnings.h"
#include "tools/dat/xml_summary.h"

enum { EXIT_OK = 0, EXIT_ERROR = 1, EXIT_USAGE = 2 };

static const char kUsage[] =
    "usage: mendrix-dat build IN.xml OUT.dat   compress and scramble a text into a data file\n"
    "       mendrix-dat unpack IN.dat OUT.xml  recover the text of a data file\n"
    "       mendrix-dat info IN.dat            sizes, integrity and identity of a data file;\n"
    "                                          exit 1 unless it decodes to well-formed XML\n"
    "       mendrix-dat check IN.dat|IN.xml [--strict]\n"
    "                                          list every grammar and attribute error the program\n"
    "                                          would meet, with line and column, and warnings of\n"
    "                                          records that cannot be what was meant; exit 1 on an\n"
    "                                          error (--strict: on a warning too)\n"
    "       mendrix-dat grammar [--markdown]   every element, where it stands, its attributes and\n"
    "                                          text, and the ACTION keywords\n"
    "       mendrix-dat new NAME [OUT.xml]     a starting data file for the threat NAME\n"
    "                                          (default OUT: NAME.xml; never replaces a file)\n"
    "       mendrix-dat fleet [--csv OUT.csv] [--html OUT.html] REPORT.json|FOLDER...\n"
    "                                          one line per machine from run reports (-json=), the\n"
    "                                          latest of each machine, with totals; a folder gives\n"
    "                                          its *.json files; reports that cannot be read are\n"
    "                                          named with why; exit 1 when none could be read\n";

static int Error(const std::string& message) {
    fprintf(stderr, "mendrix-dat: %s\n", message.c_str());
    return EXIT_ERROR;
}

static int Corrupt(const std::string& path, const std::string& problem) {
    return Error("'" + path + "' is corrupt " + problem);
}

static int Build(const std::string& in, const std::string& out) {
    std::vector<uint8_t> text;
    std::string error;
    if (!ReadWholeFile(in, &text, &error)) return Error(error);
    if (!WriteFileReplacing(out, EncodeData(text), &error)) return Error(error);
    return EXIT_OK;
}

static int Unpack(const std::string& in, const std::string& out) {
    std::vector<uint8_t> stored, text;
    std::string error;
    if (!ReadWholeFile(in, &stored, &error)) return Error(error);
    if (!DecodeData(stored, &text, &error)) return Corrupt(in, error);
    if (!WriteFileReplacing(out, text, &error)) return Error(error);
    return EXIT_OK;
}

static int Info(const std::string& in) {
    std::vector<uint8_t> stored, text;
    std::string error;
    if (!ReadWholeFile(in, &stored, &error)) return Error(error);
    bool decodes = DecodeData(stored, &text, &error);

    printf("file:          %s\n", in.c_str());
    printf("stored size:   %lu bytes\n", static_cast<unsigned long>(stored.size()));
    if (!decodes) {
        printf("decodes:       no (%s)\n", error.c_str());
        return Corrupt(in, error);
    }
    printf("decoded size:  %lu bytes\n", static_cast<unsigned long>(text.size()));
    if (text.empty())
        printf("ratio:         -\n");
    else
        printf("ratio:         %.1f%% of the decoded size\n", 100.0 * stored.size() / text.size());
    printf("decodes:       yes\n");

    XmlSummary xml = SummarizeXml(text);
    if (xml.wellFormed)
        printf("well-formed:   yes\n");
    else
        printf("well-formed:   no (%s)\n", xml.problem.c_str());
    printf("root element:  %s\n", xml.root.empty() ? "(none)" : xml.root.c_str());
    if (!xml.cleanerFound) {
        printf("CLEANER:       (none)\n");
    } else {
        for (int k = 0; k < IDENTITY_ATTRIBUTE_COUNT; ++k) {
            std::string label = std::string(kIdentityAttributes[k]) + ":";
            printf("%-14s %s\n", label.c_str(), xml.present[k] ? xml.values[k].c_str() : "(absent)");
        }
    }
    if (!xml.wellFormed) return Error("'" + in + "' does not hold well-formed XML: " + xml.problem);
    return EXIT_OK;
}

// A file whose name ends in .xml is the script's text; anything else is a
// stored data file.
static bool IsXmlName(const std::string& path) {
    return path.size() >= 4 && (path.compare(path.size() - 4, 4, ".xml") == 0 ||
                                path.compare(path.size() - 4, 4, ".XML") == 0);
}

static void PrintFinding(const std::string& in, const CheckFinding& f) {
    if (f.warning)
        printf("%s:%ld:%ld: warning: %s. Instead: %s [%s]\n", in.c_str(), f.line, f.column, f.message.c_str(),
               f.instead.c_str(), f.rule.c_str());
    else
        printf("%s:%ld:%ld: %s\n", in.c_str(), f.line, f.column, f.message.c_str());
}

static const char* Plural(size_t count) { return count == 1 ? "" : "s"; }

// Errors fail the check; warnings fail it only when strict.
static int Check(const std::string& in, bool strict) {
    std::vector<uint8_t> stored, text;
    std::string error;
    if (!ReadWholeFile(in, &stored, &error)) return Error(error);
    if (IsXmlName(in))
        text.swap(stored);
    else if (!DecodeData(stored, &text, &error))
        return Corrupt(in, error);
    std::vector<CheckFinding> errors = CheckScript(text);
    std::vector<CheckFinding> warnings = WarnScript(text);
    std::vector<CheckFinding> all = errors;
    all.insert(all.end(), warnings.begin(), warnings.end());
    std::stable_sort(all.begin(), all.end(), [](const CheckFinding& a, const CheckFinding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const CheckFinding& f : all) PrintFinding(in, f);
    unsigned long errorCount = static_cast<unsigned long>(errors.size());
    unsigned long warningCount = static_cast<unsigned long>(warnings.size());
    if (errors.empty() && warnings.empty()) {
        printf("%s: no errors\n", in.c_str());
        return EXIT_OK;
    }
    if (errors.empty()) {
        printf("%s: no errors, %lu warning%s\n", in.c_str(), warningCount, Plural(warnings.size()));
        if (!strict) return EXIT_OK;
        fprintf(stderr, "mendrix-dat: '%s' has %lu warning%s, and --strict fails them\n", in.c_str(), warningCount,
                Plural(warnings.size()));
        return EXIT_ERROR;
    }
    fprintf(stderr, "mendrix-dat: '%s' has %lu error%s\n", in.c_str(), errorCount, Plural(errors.size()));
    return EXIT_ERROR;
}

static int New(const std::string& name, const std::string& out) {
    if (name.empty()) return Error("the threat's name is empty");
    if (FILE* existing = fopen(out.c_str(), "rb")) {
        fclose(existing);
        return Error("'" + out + "' exists; give another file name");
    }
    std::string text = StartingDataFile(name);
    std::string error;
    if (!WriteFileReplacing(out, std::vector<uint8_t>(text.begin(), text.end()), &error)) return Error(error);
    printf("%s: a starting data file for %s\n", out.c_str(), name.c_str());
    return EXIT_OK;
}

static bool WriteText(const std::string& path, const std::string& text) {
    std::string error;
    if (WriteFileReplacing(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) return true;
    Error(error);
    return false;
}

// Options may stand anywhere among the reports.
static int FleetCommand(int argc, char** argv) {
    std::string csv, html;
    std::vector<std::string> reports;
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if ((word == "--csv" || word == "--html") && i + 1 < argc)
            (word == "--csv" ? csv : html) = argv[++i];
        else if (word == "--csv" || word == "--html")
            return Error("'" + word + "' needs a file name after it");
        else
            reports.push_back(word);
    }
    if (reports.empty()) return Error("no run report or folder named");
    Fleet fleet = ReadFleet(reports);
    fputs(FleetText(fleet).c_str(), stdout);
    bool written = (csv.empty() || WriteText(csv, FleetCsv(fleet))) && (html.empty() || WriteText(html, FleetHtml(fleet)));
    if (!written) return EXIT_ERROR;
    if (fleet.machines.empty()) return Error("no run report could be read");
    return EXIT_OK;
}

int main(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0)) {
        fputs(kUsage, stdout);
        return EXIT_OK;
    }
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "build" && argc == 4) return Build(argv[2], argv[3]);
    if (command == "unpack" && argc == 4) return Unpack(argv[2], argv[3]);
    if (command == "info" && argc == 3) return Info(argv[2]);
    if (command == "check" && argc == 3) return Check(argv[2], false);
    if (command == "check" && argc == 4 && strcmp(argv[2], "--strict") == 0) return Check(argv[3], true);
    if (command == "check" && argc == 4 && strcmp(argv[3], "--strict") == 0) return Check(argv[2], true);
    if (command == "grammar" && (argc == 2 || (argc == 3 && strcmp(argv[2], "--markdown") == 0))) {
        fputs(DescribeGrammar(argc == 3 ? GRAMMAR_MARKDOWN : GRAMMAR_TEXT).c_str(), stdout);
        return EXIT_OK;
    }
    if (command == "fleet") return FleetCommand(argc, argv);
    if (command == "new" && (argc == 3 || argc == 4)) return New(argv[2], argc == 4 ? argv[3] : std::string(argv[2]) + ".xml");

    if (command.empty())
        fputs("mendrix-dat: no command given\n", stderr);
    else if (command != "build" && command != "unpack" && command != "info" && command != "check" &&
             command != "grammar" && command != "new" && command != "fleet")
        fprintf(stderr, "mendrix-dat: unknown command '%s'\n", command.c_str());
    else
        fprintf(stderr, "mendrix-dat: wrong number of arguments for '%s'\n", command.c_str());
    fputs(kUsage, stderr);
    return EXIT_USAGE;
}
