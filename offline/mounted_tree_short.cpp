#include "offline/mounted_tree_short.h"

#include <string.h>

namespace {

// Characters a long name may hold and a short one may not; blanks and dots
// are dropped rather than replaced.
bool BarredFromShortNames(unsigned char c) { return c < 0x20 || strchr("\"*+,/:;<=>?[\\]|", c) != nullptr; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// Basis and extension of a name, split at its last dot; a name whose only
// dot leads it has no extension.
void SplitAtLastDot(const std::string& name, std::string* basis, std::string* extension) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        *basis = name;
        extension->clear();
        return;
    }
    *basis = name.substr(0, dot);
    *extension = name.substr(dot + 1);
}

// The characters of part as a short name holds them, at most limit.
std::string ShortPart(const std::string& part, size_t limit) {
    std::string kept;
    for (char c : part) {
        if (kept.size() == limit) break;
        if (c == ' ' || c == '.') continue;
        kept.push_back(BarredFromShortNames(static_cast<unsigned char>(c)) ? '_' : UpperAscii(c));
    }
    return kept;
}

bool HoldsOnlyShortNameCharacters(const std::string& part) {
    for (char c : part)
        if (c == ' ' || c == '.' || BarredFromShortNames(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool LooksLikeShortName(const std::string& component) {
    std::string basis, extension;
    SplitAtLastDot(component, &basis, &extension);
    size_t tilde = basis.rfind('~');
    if (tilde == std::string::npos || tilde == 0 || basis.size() > 8 || extension.size() > 3) return false;
    std::string number = basis.substr(tilde + 1);
    if (!AllDigits(number) || number[0] == '0') return false;
    return HoldsOnlyShortNameCharacters(basis.substr(0, tilde)) && HoldsOnlyShortNameCharacters(extension);
}

bool FitsShortName(const std::string& ansi) {
    std::string basis, extension;
    SplitAtLastDot(ansi, &basis, &extension);
    if (basis.empty() || basis.size() > 8 || extension.size() > 3) return false;
    if (ansi.find('.') != ansi.rfind('.') || ansi[0] == '.') return false;
    return HoldsOnlyShortNameCharacters(basis) && HoldsOnlyShortNameCharacters(extension);
}

std::string DerivedShortName(const std::string& ansi, int n) {
    if (FitsShortName(ansi)) return std::string();
    std::string basis, extension;
    SplitAtLastDot(ansi, &basis, &extension);
    std::string shortName = ShortPart(basis, 6);
    if (shortName.empty()) return shortName;
    shortName += "~" + std::to_string(n);
    std::string shortExtension = ShortPart(extension, 3);
    if (!shortExtension.empty()) shortName += "." + shortExtension;
    return shortName;
}
