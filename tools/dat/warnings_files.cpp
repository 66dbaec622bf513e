// The warnings about how FILE, PROCESS and THREAD records name their file,
// and where a FILE's PATTERNs and cut ranges lie.
#include <stdio.h>

#include "disk/file_record.h"
#include "script/hex.h"
#include "script/pattern_record.h"
#include "script/position.h"
#include "script/text_util.h"
#include "tools/dat/warnings.h"

namespace {

std::string Hex(long long value) {
    char text[24];
    snprintf(text, sizeof text, "%s%llX", value < 0 ? "-" : "", static_cast<unsigned long long>(value < 0 ? -value : value));
    return text;
}

// A size as the data file writes it, with its bytes counted for the reader.
std::string SizeText(uint32_t size) { return Hex(size) + " (" + std::to_string(size) + " bytes)"; }

bool IsFileInDisk(const OutlineNode& element) { return element.name == "FILE" && element.ParentName() == "DISK"; }

// The PATTERNs of a record: those before its first ACTION (a PATTERN after
// it is taken as a PATCH).
std::vector<const OutlineNode*> PatternsOf(const OutlineNode& element) {
    std::vector<const OutlineNode*> patterns;
    for (const std::unique_ptr<OutlineNode>& child : element.children) {
        if (child->name == "ACTION") break;
        if (child->name == "PATTERN") patterns.push_back(child.get());
    }
    return patterns;
}

// Bytes of a PATTERN text as its handler reads them: pairs of characters
// between blanks; a lone last character is dropped.
long long ByteCount(const std::string& text) {
    long long count = 0;
    for (size_t i = 0; i < text.size();) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (i + 1 == text.size()) break;
        ++count;
        i += 2;
    }
    const long long most = PATTERN_MAX_BYTES;
    return count < most ? count : most;
}

// The FILE's size, 0 when it has none or it does not read.
uint32_t FileSize(const OutlineNode& file) {
    uint32_t size = 0;
    if (ParseHex(ValueOf(file, "size").c_str(), 4, &size) < 0) return 0;
    return size;
}

// A move without destination does nothing, as a copy does at all times to
// the file found.
bool ChangesFiles(const OutlineNode& action) {
    std::string keyword = KeywordOf(action);
    if (EqualsIgnoreCase(keyword.c_str(), "move")) return action.Attribute("destination") != nullptr;
    return EqualsIgnoreCase(keyword.c_str(), "delete") || EqualsIgnoreCase(keyword.c_str(), "cut");
}

void CheckPattern(const OutlineNode& pattern, uint32_t size, WarningSink* sink) {
    std::string offsetText = ValueOf(pattern, "offset");
    bool negative = !offsetText.empty() && offsetText[0] == '-';
    uint32_t magnitude = 0;
    if (ParseHex(offsetText.c_str() + (negative ? 1 : 0), 4, &magnitude) < 0) return;
    long long offset = negative ? -static_cast<long long>(magnitude) : magnitude;
    std::string origin = ValueOf(pattern, "origin");
    if (origin == "ep" || origin == "stack" || origin.compare(0, 7, "pattern") == 0) return;
    bool fromEnd = origin == "end";
    long long place = fromEnd ? static_cast<long long>(size) + offset : offset;
    long long count = ByteCount(pattern.text);
    if (place >= 0 && place + count <= size) return;
    std::string where = fromEnd ? "at end" + std::string(negative ? "-" : "+") + Hex(magnitude) : "at offset " + Hex(offset);
    sink->Add(pattern.offset,
              "a PATTERN of " + std::to_string(count) + " bytes " + where + " lies outside the FILE's size " + SizeText(size) +
                  ", so it never matches",
              "an offset from 0 to " + Hex(size > count ? size - count : 0) +
                  ", or origin=\"end\" with a negative offset (offset=\"-" + Hex(count) + "\")");
}

void CheckCut(const OutlineNode& action, uint32_t size, WarningSink* sink) {
    PositionSpec start = {0, 0}, end = {ORIGIN_END, 0};
    if (action.Attribute("start")) ParsePosition(&start, ValueOf(action, "start").c_str());
    if (action.Attribute("end")) ParsePosition(&end, ValueOf(action, "end").c_str());
    uint32_t length = 0;
    if (action.Attribute("length") && ParseHex(ValueOf(action, "length").c_str(), 4, &length) < 0) length = 0;
    if (start.origin >= ORIGIN_PATTERN) return;
    // The start of a cut counts "end" as the start of the file.
    long long from = start.offset;
    if (from < 0) {
        sink->Add(OffsetOf(action, "start"),
                  "the cut starts at " + Hex(from) + ", before the start of the file (a start counts \"end\" as "
                  "the start of the file), so it never happens",
                  "a start from the beginning of the file (start=\"" + Hex(size > static_cast<uint32_t>(-from) ? size + from : 0) +
                      "\") or from a PATTERN (start=\"pattern0\")");
        return;
    }
    if (size == 0) return;
    if (from >= size) {
        sink->Add(OffsetOf(action, "start"),
                  "the cut starts at " + Hex(from) + ", at or past the FILE's size " + SizeText(size) +
                      ", so it never happens",
                  "a start below " + Hex(size));
        return;
    }
    long long to = length ? from + length : end.origin == ORIGIN_END ? size + static_cast<long long>(end.offset) : end.origin < ORIGIN_PATTERN ? end.offset : -1;
    if (to <= size) return;
    sink->Add(OffsetOf(action, length ? "length" : "end"),
              "the cut runs to " + Hex(to) + ", past the FILE's size " + SizeText(size) +
                  ": it stops at the end of the file",
              length ? "a length of at most " + Hex(size - from) : std::string("end=\"end\" or an end at most ") + Hex(size));
}

}  // namespace

void WarnFolderInFileName(const OutlineNode& element, WarningSink* sink) {
    if (!IsFileInDisk(element)) return;
    const OutlineAttribute* fileName = element.Attribute("FileName");
    if (!fileName) return;
    size_t slash = fileName->value.find_last_of("\\/");
    if (slash == std::string::npos) return;
    std::string folder = fileName->value.substr(0, slash), name = fileName->value.substr(slash + 1);
    sink->Add(fileName->offset,
              "FileName \"" + fileName->value + "\" holds a folder: it is compared with the name part of each path, "
              "so it never matches",
              "FileName=\"" + name + "\", and the folder in a DIRECTORY: <DIRECTORY>" + folder + "</DIRECTORY>");
}

void WarnExtensionItems(const OutlineNode& element, WarningSink* sink) {
    if (!IsFileInDisk(element)) return;
    const OutlineAttribute* extensions = element.Attribute("Extensions");
    if (!extensions || EqualsIgnoreCase(extensions->value.c_str(), "all")) return;
    if (element.Attribute("FileName")) {
        sink->Add(extensions->offset, "Extensions is not used, since the FILE has a FileName",
                  "either FileName or Extensions; a second FILE for the other");
        return;
    }
    const std::string& list = extensions->value;
    int items = 0;
    for (size_t begin = 0; begin <= list.size();) {
        size_t comma = list.find(',', begin);
        if (comma == std::string::npos) comma = list.size();
        std::string item = list.substr(begin, comma - begin);
        size_t first = item.find_first_not_of(" \t\r\n");
        size_t last = item.find_last_not_of(" \t\r\n");
        std::string bare = first == std::string::npos ? "" : item.substr(first, last - first + 1);
        if (!bare.empty() && ++items == MAX_EXTENSIONS + 1)
            sink->Add(extensions->offset, "Extensions has more than 31 items: \"" + bare + "\" and the items after it are ignored",
                      "a second FILE with the further extensions");
        if (!bare.empty() && items <= MAX_EXTENSIONS) {
            std::string dotted = bare[0] == '.' ? bare : "." + bare;
            if (bare[0] != '.')
                sink->Add(extensions->offset,
                          "Extensions item \"" + bare + "\" does not begin with a dot: extensions are compared with "
                          "their dot, so it is not read as " + dotted,
                          "\"" + dotted + "\"");
            else if (bare.size() >= EXTENSION_SIZE)
                sink->Add(extensions->offset,
                          "Extensions item \"" + bare + "\" is longer than 10 characters, which the program refuses",
                          "an extension of at most 10 characters with its dot");
            // Blanks before an item after a comma are passed over on the way
            // to its dot; any others are kept and compared.
            bool blanks = bare.find_first_of(" \t\r\n") != std::string::npos || item.size() > last + 1 ||
                          (begin == 0 && first > 0);
            if (blanks)
                sink->Add(extensions->offset,
                          "Extensions item \"" + item + "\" holds white space, which is compared as part of the "
                          "extension",
                          "\"" + dotted.substr(0, dotted.find_first_of(" \t\r\n")) + "\" without blanks");
        }
        begin = comma + 1;
    }
}

void WarnFileAcceptsAll(const OutlineNode& element, WarningSink* sink) {
    if (!IsFileInDisk(element)) return;
    const OutlineNode* action = ActionOf(element);
    if (!action || !ChangesFiles(*action)) return;
    std::string extensions = ValueOf(element, "Extensions");
    bool named = element.Attribute("FileName") || (!extensions.empty() && !EqualsIgnoreCase(extensions.c_str(), "all")) ||
                 FileSize(element) != 0 || !PatternsOf(element).empty();
    if (named) return;
    sink->Add(element.offset,
              "this FILE has no FileName, Extensions, size or PATTERN, so it accepts every file in its folders, and "
              "its ACTION " + KeywordOf(*action) + " changes each one",
              "FileName, Extensions, size or a PATTERN that names the threat's file");
}

void WarnBeyondSize(const OutlineNode& element, WarningSink* sink) {
    if (!IsFileInDisk(element)) return;
    uint32_t size = FileSize(element);
    if (size != 0)
        for (const OutlineNode* pattern : PatternsOf(element)) CheckPattern(*pattern, size, sink);
    const OutlineNode* action = ActionOf(element);
    if (action && EqualsIgnoreCase(KeywordOf(*action).c_str(), "cut")) CheckCut(*action, size, sink);
}

void WarnProcessNameAndPath(const OutlineNode& element, WarningSink* sink) {
    if ((element.name != "PROCESS" && element.name != "THREAD") || element.ParentName() != "MEMORY") return;
    const OutlineAttribute* name = element.Attribute("ProcessName");
    const OutlineAttribute* path = element.Attribute("path");
    if (name && name->value.find_first_of("\\/") != std::string::npos) {
        sink->Add(name->offset,
                  "ProcessName \"" + name->value + "\" holds a folder: it is compared with the executable's file "
                  "name, so it never matches",
                  "path=\"" + name->value + "\" for the whole path, and ProcessName=\"" +
                      name->value.substr(name->value.find_last_of("\\/") + 1) + "\"");
        return;
    }
    if (!path) return;
    size_t slash = path->value.find_last_of('\\');
    if (slash == std::string::npos) {
        sink->Add(path->offset,
                  "path \"" + path->value + "\" has no folder: it is compared with the executable's full path, "
                  "so it never matches",
                  "a full path, or one that begins with a folder macro word: path=\"system\\" + path->value + "\"");
        return;
    }
    std::string file = path->value.substr(slash + 1);
    if (name && !EqualsIgnoreCase(file.c_str(), name->value.c_str()))
        sink->Add(path->offset,
                  "path ends in \"" + file + "\" and ProcessName is \"" + name->value + "\": no process has both, "
                  "so it never matches",
                  "the same file name in both, or path alone");
}
