#include "disk/restart_entries.h"

#include <string.h>

#include "script/text_util.h"

namespace {

uint16_t Lower16(uint16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint16_t>(c - 'A' + 'a') : c; }

// One line of the text: where it starts, where its content ends (before
// the line end) and where the next line starts.
struct Line {
    size_t start, end, next;
};

Line LineAt(const std::string& text, size_t start) {
    size_t end = text.find('\n', start);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    return Line{start, end, next};
}

// The line's content without the blanks around it.
std::string Trimmed(const std::string& text, const Line& line) {
    size_t from = line.start, to = line.end;
    while (from < to && (text[from] == ' ' || text[from] == '\t')) ++from;
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t')) --to;
    return text.substr(from, to - from);
}

bool SameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && EqualsIgnoreCase(a.c_str(), b.c_str());
}

bool IsSection(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] == '['; }

// Where the [rename] section's lines begin and end: from the line after its
// header to the start of the next section or the end of the text. False
// when there is no such section.
bool RenameSection(const std::string& text, size_t* first, size_t* end) {
    size_t at = 0;
    bool inside = false;
    while (at < text.size()) {
        Line line = LineAt(text, at);
        std::string trimmed = Trimmed(text, line);
        if (inside && IsSection(trimmed)) {
            *end = line.start;
            return true;
        }
        if (!inside && SameLetters(trimmed, "[rename]")) {
            inside = true;
            *first = line.next;
        }
        at = line.next;
    }
    *end = text.size();
    return inside;
}

}  // namespace

std::string WithRenameLine(const std::string& text, const std::string& line) {
    size_t first = 0, end = 0;
    std::string out = text;
    if (!RenameSection(text, &first, &end)) {
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        return out + "[rename]\r\n" + line + "\r\n";
    }
    // After the section's last line that is not blank, so that a blank line
    // before the next section stays where it was.
    size_t insert = first;
    for (size_t at = first; at < end;) {
        Line l = LineAt(text, at);
        if (!Trimmed(text, l).empty()) insert = l.next;
        at = l.next;
    }
    std::string added = line + "\r\n";
    if (insert > 0 && text[insert - 1] != '\n') added = "\r\n" + added;  // the last line had no end
    return out.insert(insert, added);
}

bool TakeOutRenameLine(std::string* text, const std::string& line) {
    size_t first = 0, end = 0;
    if (!RenameSection(*text, &first, &end)) return false;
    size_t found = std::string::npos, foundNext = 0;
    for (size_t at = first; at < end;) {
        Line l = LineAt(*text, at);
        if (SameLetters(Trimmed(*text, l), line)) {
            found = l.start;
            foundNext = l.next;
        }
        at = l.next;
    }
    if (found == std::string::npos) return false;
    text->erase(found, foundNext - found);
    return true;
}

bool IsShortFileName(const char* name) {
    static const char kNotInNames[] = " \"*+,/:;<=>?[\\]|";
    size_t base = 0, extension = 0;
    bool dotted = false;
    for (const char* c = name; *c; ++c) {
        if (*c == '.') {
            if (dotted) return false;
            dotted = true;
            continue;
        }
        if (static_cast<unsigned char>(*c) < 0x20 || strchr(kNotInNames, *c)) return false;
        ++(dotted ? extension : base);
    }
    return base >= 1 && base <= 8 && (dotted ? extension >= 1 && extension <= 3 : true);
}

namespace {

// The string that starts at index, and where the next one starts.
std::vector<uint16_t> StringAt(const std::vector<uint16_t>& value, size_t index, size_t* next) {
    size_t end = index;
    while (end < value.size() && value[end] != 0) ++end;
    *next = end < value.size() ? end + 1 : end;
    return std::vector<uint16_t>(value.begin() + static_cast<std::ptrdiff_t>(index),
                                 value.begin() + static_cast<std::ptrdiff_t>(end));
}

bool SameLetters16(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower16(a[i]) != Lower16(b[i])) return false;
    return true;
}

}  // namespace

bool TakeOutPendingOperation(std::vector<uint16_t>* value, const std::vector<uint16_t>& source, bool move) {
    size_t foundStart = 0, foundEnd = 0;
    bool found = false;
    size_t at = 0;
    while (at < value->size()) {
        size_t afterSource = 0, afterDestination = 0;
        std::vector<uint16_t> from = StringAt(*value, at, &afterSource);
        if (from.empty()) break;  // the 0 after the last pair
        std::vector<uint16_t> to = StringAt(*value, afterSource, &afterDestination);
        if (SameLetters16(from, source) && to.empty() != move) {
            found = true;
            foundStart = at;
            foundEnd = afterDestination;
        }
        at = afterDestination;
    }
    if (!found) return false;
    value->erase(value->begin() + static_cast<std::ptrdiff_t>(foundStart),
                 value->begin() + static_cast<std::ptrdiff_t>(foundEnd));
    return true;
}

bool NoPendingOperations(const std::vector<uint16_t>& value) {
    size_t next = 0;
    return value.empty() || StringAt(value, 0, &next).empty();
}
