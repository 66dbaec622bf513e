#include "system/command_line.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Room for one short name: the ANSI path functions stop at MAX_PATH.
enum { SHORT_NAME_SIZE = 260 };

enum PieceGuard {
    GUARD_NONE,        // no blank in it, or the data file quoted it
    GUARD_QUOTE,       // quotes around the word that holds it
    GUARD_SHORT_NAME,  // its short name in its place
};

struct PieceDecision {
    PieceGuard guard;
    size_t wordBegin, wordEnd;  // the word that holds the piece
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasBlank(const char* text, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i)
        if (IsBlank(text[i])) return true;
    return false;
}

int PieceAt(const SplicedLine* line, size_t at) {
    for (int k = 0; k < line->count; ++k)
        if (line->pieces[k].begin == at) return k;
    return -1;
}

PieceDecision Decide(const char* text, const SplicedPiece& piece, bool quoted, size_t wordBegin, size_t wordEnd) {
    PieceDecision decision = {GUARD_NONE, wordBegin, wordEnd};
    if (!HasBlank(text, piece.begin, piece.end)) return decision;
    // The data file's quotes hold the piece together, unless it brings a
    // quote of its own that ends them early.
    size_t length = piece.end - piece.begin;
    if (quoted && !memchr(text + piece.begin, '"', length)) return decision;
    // Quotes around a word that holds one already would pair with it; before
    // a closing quote a backslash reads as escaping it.
    bool quotable = !memchr(text + wordBegin, '"', wordEnd - wordBegin) && text[wordEnd - 1] != '\\';
    decision.guard = quotable ? GUARD_QUOTE : GUARD_SHORT_NAME;
    return decision;
}

// Splits the line into words as the started program reads them: a blank
// outside quotes ends a word, a quote opens or closes quoting. Within a
// spliced piece neither counts: the data file's writer meant it as one unit
// of the word it sits in.
void DecideAll(const SplicedLine* line, PieceDecision* decisions) {
    const char* text = line->text;
    size_t length = strlen(text);
    bool quoted = false;
    bool quotedAt[MAX_SPLICED_PIECES] = {};
    size_t wordBegin = 0;
    for (size_t i = 0; i <= length;) {
        int k = PieceAt(line, i);
        if (k >= 0) {
            quotedAt[k] = quoted;
            i = line->pieces[k].end;
            continue;
        }
        if (text[i] == 0 || (IsBlank(text[i]) && !quoted)) {
            for (int p = 0; p < line->count; ++p)
                if (line->pieces[p].begin >= wordBegin && line->pieces[p].begin < i)
                    decisions[p] = Decide(text, line->pieces[p], quotedAt[p], wordBegin, i);
            wordBegin = i + 1;
        } else if (text[i] == '"') {
            quoted = !quoted;
        }
        ++i;
    }
}

bool QuoteAt(const PieceDecision* decisions, int count, size_t at, bool opening) {
    for (int k = 0; k < count; ++k)
        if (decisions[k].guard == GUARD_QUOTE && (opening ? decisions[k].wordBegin : decisions[k].wordEnd) == at)
            return true;
    return false;
}

// The piece's short name into out; 0 or the reason there is none.
uint32_t ShortName(const char* text, const SplicedPiece& piece, char* out) {
    size_t length = piece.end - piece.begin;
    char* path = static_cast<char*>(malloc(length + 1));
    if (!path) return NO_MEMORY_FOR_LINE;
    memcpy(path, text + piece.begin, length);
    path[length] = 0;
    uint32_t failure = PlatformShortPath(path, out, SHORT_NAME_SIZE);
    free(path);
    if (failure) return failure;
    out[SHORT_NAME_SIZE - 1] = 0;
    // A volume without short names answers the long one.
    return HasBlank(out, 0, strlen(out)) ? BLANK_IN_SHORT_NAME : 0;
}

}  // namespace

void AddSplicedPiece(SplicedLine* line, size_t begin, size_t end) {
    if (begin >= end) return;
    for (int k = 0; k < line->count; ++k) {
        SplicedPiece& piece = line->pieces[k];
        if (begin < piece.end && piece.begin < end) {
            if (begin < piece.begin) piece.begin = begin;
            if (end > piece.end) piece.end = end;
            return;
        }
    }
    if (line->count < MAX_SPLICED_PIECES) line->pieces[line->count++] = SplicedPiece{begin, end};
}

char* GuardedCommandLine(const SplicedLine* line, uint32_t* error) {
    PieceDecision decisions[MAX_SPLICED_PIECES] = {};
    DecideAll(line, decisions);
    char shortNames[MAX_SPLICED_PIECES][SHORT_NAME_SIZE];
    for (int k = 0; k < line->count; ++k) {
        if (decisions[k].guard != GUARD_SHORT_NAME) continue;
        uint32_t failure = ShortName(line->text, line->pieces[k], shortNames[k]);
        if (failure) {
            *error = failure;
            return nullptr;
        }
    }

    const char* text = line->text;
    size_t length = strlen(text);
    // Two quotes per piece, and a short name each at most.
    char* guarded = static_cast<char*>(malloc(length + MAX_SPLICED_PIECES * (2 + SHORT_NAME_SIZE) + 1));
    if (!guarded) {
        *error = NO_MEMORY_FOR_LINE;
        return nullptr;
    }
    size_t out = 0;
    for (size_t i = 0; i < length;) {
        if (QuoteAt(decisions, line->count, i, false)) guarded[out++] = '"';
        if (QuoteAt(decisions, line->count, i, true)) guarded[out++] = '"';
        int k = PieceAt(line, i);
        if (k >= 0 && decisions[k].guard == GUARD_SHORT_NAME) {
            size_t shortLength = strlen(shortNames[k]);
            memcpy(guarded + out, shortNames[k], shortLength);
            out += shortLength;
            i = line->pieces[k].end;
        } else {
            guarded[out++] = text[i++];
        }
    }
    if (QuoteAt(decisions, line->count, length, false)) guarded[out++] = '"';
    guarded[out] = 0;
    return guarded;
}

CommandHead FindCommandHead(const char* line) {
    CommandHead head = {};
    size_t at = 0;
    while (IsBlank(line[at])) ++at;
    if (line[at] == '"') {
        head.begin = at + 1;
        const char* closing = strchr(line + head.begin, '"');
        head.end = closing ? static_cast<size_t>(closing - line) : strlen(line);
        head.rest = closing ? head.end + 1 : head.end;
        return head;
    }
    head.begin = at;
    while (line[at] && !IsBlank(line[at])) ++at;
    head.end = head.rest = at;
    return head;
}

bool IsBareName(const char* name, size_t length) {
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i)
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':') return false;
    return true;
}
