#include "offline/hive_text.h"

#include "offline/ansi_names.h"

namespace {

const uint32_t kMultiText = 7;  // REG_MULTI_SZ

bool IsText(uint32_t type) { return type == 1 || type == 2 || type == kMultiText; }

char AnsiOf(uint16_t w) {
    char c;
    return AnsiOfWide(w, &c) ? c : '?';  // what the system's conversion gives for a character the page lacks
}

}  // namespace

std::string AnsiValueData(uint32_t type, const std::string& stored) {
    if (!IsText(type)) return stored;
    std::string ansi;
    for (size_t i = 0; i + 1 < stored.size(); i += 2)
        ansi.push_back(AnsiOf(static_cast<uint16_t>(static_cast<uint8_t>(stored[i]) |
                                                    static_cast<uint8_t>(stored[i + 1]) << 8)));
    // Text kept without its ending is read with one, as the system reads it.
    if (ansi.empty() || ansi.back() != 0) ansi.push_back(0);
    if (type == kMultiText && (ansi.size() < 2 || ansi[ansi.size() - 2] != 0)) ansi.push_back(0);
    return ansi;
}

std::string StoredValueData(uint32_t type, const std::string& ansi) {
    if (!IsText(type)) return ansi;
    std::string wide;
    for (unsigned char c : ansi) {
        uint16_t w = WideOfAnsi(c);
        wide.push_back(static_cast<char>(w & 0xFF));
        wide.push_back(static_cast<char>(w >> 8));
    }
    return wide;
}
