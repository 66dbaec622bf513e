#include "share_table.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

static unsigned long Number(const std::string& text) { return strtoul(text.c_str(), nullptr, 0); }

static std::string FromHex(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(strtoul(text.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

static std::string ToHex(const std::string& bytes) {
    std::string text;
    char digits[3];
    for (unsigned char c : bytes) {
        snprintf(digits, sizeof digits, "%02x", c);
        text += digits;
    }
    return text;
}

static void Text(const std::string& field, bool* present, std::string* out) {
    *present = field != "*";
    *out = *present ? field : "";
}

static bool ParseLine(const std::string& line, ShareTable* table) {
    std::vector<std::string> f = SplitTabs(line);
    if (f[0] == "share" && (f.size() == 11 || f.size() == 12)) {
        TableShare s;
        s.type = Number(f[1]);
        s.name = f[2];
        Text(f[3], &s.hasPath, &s.path);
        Text(f[4], &s.hasRemark, &s.remark);
        s.permissions = Number(f[5]);
        s.maxUses = Number(f[6]);
        Text(f[7], &s.hasPassword, &s.password);
        s.flags = Number(f[8]);
        s.readOnlyPassword = f[9] == "*" ? "" : f[9];
        s.fullPassword = f[10] == "*" ? "" : f[10];
        if (f.size() == 12 && f[11] != "*") s.security = FromHex(f[11]);
        table->shares.push_back(s);
    } else if (f[0] == "refuse-delete" && f.size() == 2) {
        table->refuseDelete.push_back(f[1]);
    } else if (f[0] == "refuse-add" && f.size() == 2) {
        table->refuseAdd.push_back(f[1]);
    } else if (f[0] == "enum-status" && f.size() == 2) {
        table->enumStatus = Number(f[1]);
    } else if (f[0] == "enum-page" && f.size() == 2) {
        table->enumPage = Number(f[1]);
    } else {
        return false;
    }
    return true;
}

bool LoadShareTable(const std::string& file, ShareTable* table) {
    *table = ShareTable();
    FILE* in = fopen(file.c_str(), "rb");
    if (!in) return true;  // no file: no shares
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
    fclose(in);
    bool good = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') good = ParseLine(line, table) && good;
        start = end + 1;
    }
    return good;
}

static std::string Field(bool present, const std::string& text) { return present ? text : "*"; }

std::string FormatShareTable(const ShareTable& table) {
    std::string out;
    char number[32];
    for (const TableShare& s : table.shares) {
        snprintf(number, sizeof number, "0x%lx", s.type);
        out += std::string("share\t") + number + "\t" + s.name + "\t" + Field(s.hasPath, s.path) + "\t" +
               Field(s.hasRemark, s.remark) + "\t";
        snprintf(number, sizeof number, "%lu\t%lu\t", s.permissions, s.maxUses);
        out += number + Field(s.hasPassword, s.password) + "\t";
        snprintf(number, sizeof number, "0x%lx", s.flags);
        out += std::string(number) + "\t" + s.readOnlyPassword + "\t" + s.fullPassword + "\t" +
               (s.security.empty() ? std::string("*") : ToHex(s.security)) + "\n";
    }
    for (const std::string& n : table.refuseDelete) out += "refuse-delete\t" + n + "\n";
    for (const std::string& n : table.refuseAdd) out += "refuse-add\t" + n + "\n";
    if (table.enumStatus) out += "enum-status\t" + std::to_string(table.enumStatus) + "\n";
    if (table.enumPage) out += "enum-page\t" + std::to_string(table.enumPage) + "\n";
    return out;
}

bool SaveShareTable(const std::string& file, const ShareTable& table) {
    FILE* out = fopen(file.c_str(), "wb");
    if (!out) return false;
    std::string text = FormatShareTable(table);
    bool good = fwrite(text.data(), 1, text.size(), out) == text.size();
    return fclose(out) == 0 && good;
}

static bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

int FindShare(const ShareTable& table, const std::string& name) {
    for (size_t i = 0; i < table.shares.size(); ++i)
        if (SameName(table.shares[i].name, name)) return static_cast<int>(i);
    return -1;
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (SameName(n, name)) return true;
    return false;
}
