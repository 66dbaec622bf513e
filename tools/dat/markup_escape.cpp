#include "tools/dat/markup_escape.h"

std::string EscapeMarkup(const std::string& text, const char* apostrophe) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += apostrophe; break;
        default: out += c;
        }
    }
    return out;
}
