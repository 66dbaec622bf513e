#include "offline/ini_text.h"

#include <string.h>

#include "offline/ansi_names.h"

namespace {

// One line of the file: [start, end) is its text without the line ending,
// next is where the following line starts.
struct IniLine {
    size_t start;
    size_t end;
    size_t next;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool ReadLine(const std::string& text, size_t at, IniLine* line) {
    if (at >= text.size()) return false;
    size_t newline = text.find('\n', at);
    line->start = at;
    line->next = newline == std::string::npos ? text.size() : newline + 1;
    line->end = newline == std::string::npos ? text.size() : newline;
    return true;
}

void Trim(const std::string& text, size_t* start, size_t* end) {
    while (*start < *end && IsBlank(text[*start])) ++*start;
    while (*end > *start && IsBlank(text[*end - 1])) --*end;
}

// A section header: a first non-blank '[' and a ']' after it, the last one
// of the line closing the name. Anything else is an entry line.
bool SectionName(const std::string& text, const IniLine& line, size_t* start, size_t* end) {
    size_t s = line.start, e = line.end;
    Trim(text, &s, &e);
    if (s >= e || text[s] != '[') return false;
    size_t close = text.rfind(']', e - 1);
    if (close == std::string::npos || close <= s) return false;
    *start = s + 1;
    *end = close;
    return true;
}

// An entry line: the name up to the first '=' (or the whole line), the
// value after it; hasValue is false when there is no '='.
struct IniEntry {
    size_t nameStart, nameEnd, valueStart, valueEnd;
    bool hasValue;
};

bool EntryOf(const std::string& text, const IniLine& line, IniEntry* entry) {
    size_t s = line.start, e = line.end;
    Trim(text, &s, &e);
    if (s >= e) return false;
    size_t equals = text.find('=', s);
    entry->hasValue = equals != std::string::npos && equals < e;
    entry->nameStart = s;
    entry->nameEnd = entry->hasValue ? equals : e;
    Trim(text, &entry->nameStart, &entry->nameEnd);
    entry->valueStart = entry->hasValue ? equals + 1 : e;
    entry->valueEnd = e;
    Trim(text, &entry->valueStart, &entry->valueEnd);
    return true;
}

bool Matches(const std::string& text, size_t start, size_t end, const char* wanted) {
    return SameAnsiAnyCase(text.data() + start, end - start, wanted, strlen(wanted));
}

// Where a section and an entry in it are: found flags, the entry's line,
// and the end of the section's last non-blank line, where a new entry goes.
struct IniPlace {
    bool sectionFound;
    bool entryFound;
    IniLine entryLine;
    IniEntry entry;
    size_t insertAt;
};

void Locate(const std::string& text, const char* section, const char* name, IniPlace* place) {
    *place = IniPlace{};
    bool inside = false;
    IniLine line;
    for (size_t at = 0; ReadLine(text, at, &line); at = line.next) {
        size_t s, e;
        if (SectionName(text, line, &s, &e)) {
            if (inside) return;  // the first section of the name ends here
            inside = Matches(text, s, e, section);
            if (inside) {
                place->sectionFound = true;
                place->insertAt = line.next;
            }
            continue;
        }
        if (!inside) continue;
        IniEntry entry;
        if (!EntryOf(text, line, &entry)) continue;
        place->insertAt = line.next;
        if (!place->entryFound && Matches(text, entry.nameStart, entry.nameEnd, name)) {
            place->entryFound = true;
            place->entryLine = line;
            place->entry = entry;
        }
    }
}

// The file's own line ending, taken from its first line; a new file gets
// the system's.
std::string LineEnding(const std::string& text) {
    size_t newline = text.find('\n');
    if (newline == std::string::npos) return "\r\n";
    return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool FindIniValue(const std::string& text, const char* section, const char* name, std::string* value) {
    IniPlace place;
    Locate(text, section, name, &place);
    if (!place.entryFound) return false;
    size_t s = place.entry.valueStart, e = place.entry.valueEnd;
    if (e - s >= 2 && (text[s] == '"' || text[s] == '\'') && text[e - 1] == text[s]) {
        ++s;
        --e;
    }
    value->assign(text, s, e - s);
    return true;
}

bool SetIniValue(std::string* text, const char* section, const char* name, const char* value) {
    IniPlace place;
    Locate(*text, section, name, &place);
    std::string eol = LineEnding(*text);
    if (!value) {
        if (!place.entryFound) return false;
        text->erase(place.entryLine.start, place.entryLine.next - place.entryLine.start);
        return true;
    }
    if (place.entryFound) {
        const IniEntry& e = place.entry;
        if (e.hasValue && text->compare(e.valueStart, e.valueEnd - e.valueStart, value) == 0) return false;
        std::string line = text->substr(e.nameStart, e.nameEnd - e.nameStart) + "=" + value;
        // The line's blanks before its ending (a '\r' among them) stay.
        size_t keepFrom = e.hasValue ? e.valueEnd : e.nameEnd;
        text->replace(place.entryLine.start, keepFrom - place.entryLine.start, line);
        return true;
    }
    std::string added;
    size_t at = place.sectionFound ? place.insertAt : text->size();
    if (at == text->size() && !text->empty() && text->back() != '\n') added += eol;
    if (!place.sectionFound) added += std::string("[") + section + "]" + eol;
    added += std::string(name) + "=" + value + eol;
    text->insert(at, added);
    return true;
}

uint32_t CopyProfileAnswer(bool found, const std::string& value, const char* defaultText, char* buffer,
                           uint32_t size) {
    if (size == 0) return 0;
    std::string answer = value;
    if (!found) {
        answer = defaultText ? defaultText : "";
        while (!answer.empty() && answer.back() == ' ') answer.pop_back();
    }
    size_t n = answer.size() < size - 1 ? answer.size() : size - 1;
    memcpy(buffer, answer.data(), n);
    buffer[n] = 0;
    return static_cast<uint32_t>(n);
}
