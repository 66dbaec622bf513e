// Stand-in for the 9x family's svrapi.dll: the share functions at level 50
// over the share table, with 8-bit texts and 16-bit sizes.
#include <windows.h>
#include <string.h>

#include "share_table.h"
#include "standin_dll.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

const unsigned NERR_Success = 0, LEVEL_50 = 50, DUPLICATE_SHARE = 2118, NAME_NOT_FOUND = 2310, MORE_DATA = 234;

static void CopyField(char* out, size_t size, const std::string& text) {
    memset(out, 0, size);
    memcpy(out, text.c_str(), text.size() < size - 1 ? text.size() : size - 1);
}

static std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// Fills whole records from the front of the buffer and their texts from its
// back, as many as fit.
STANDIN_EXPORT unsigned WINAPI NetShareEnum(const char* server, short level, char* buffer, unsigned short size,
                                            unsigned short* read, unsigned short* total) {
    *read = *total = 0;
    if (level != LEVEL_50) return ERROR_INVALID_LEVEL;
    ShareTable table;
    LoadShareTable(ShareTableFile(), &table);
    if (table.enumStatus) return table.enumStatus;
    *total = static_cast<unsigned short>(table.shares.size());
    char* back = buffer + size;
    unsigned short n = 0;
    for (const TableShare& s : table.shares) {
        if (table.enumPage && n >= table.enumPage) break;
        size_t texts = (s.hasRemark ? s.remark.size() + 1 : 0) + (s.hasPath ? s.path.size() + 1 : 0);
        char* front = buffer + (n + 1) * sizeof(StandinShareInfo50);
        if (front + texts > back) break;
        StandinShareInfo50* info = reinterpret_cast<StandinShareInfo50*>(buffer) + n;
        CopyField(info->netName, sizeof info->netName, s.name);
        info->type = static_cast<unsigned char>(s.type);
        info->flags = static_cast<unsigned short>(s.flags);
        info->remark = info->path = nullptr;
        if (s.hasRemark) {
            back -= s.remark.size() + 1;
            memcpy(back, s.remark.c_str(), s.remark.size() + 1);
            info->remark = back;
        }
        if (s.hasPath) {
            back -= s.path.size() + 1;
            memcpy(back, s.path.c_str(), s.path.size() + 1);
            info->path = back;
        }
        CopyField(info->fullPassword, sizeof info->fullPassword, s.fullPassword);
        CopyField(info->readOnlyPassword, sizeof info->readOnlyPassword, s.readOnlyPassword);
        ++n;
    }
    *read = n;
    return n < *total ? MORE_DATA : NERR_Success;
}

STANDIN_EXPORT unsigned WINAPI NetShareDel(const char* server, const char* name, unsigned short) {
    std::string file = ShareTableFile();
    ShareTable table;
    LoadShareTable(file, &table);
    if (Listed(table.refuseDelete, name)) return ERROR_ACCESS_DENIED;
    int at = FindShare(table, name);
    if (at < 0) return NAME_NOT_FOUND;
    table.shares.erase(table.shares.begin() + at);
    return SaveShareTable(file, table) ? NERR_Success : ERROR_WRITE_FAULT;
}

STANDIN_EXPORT unsigned WINAPI NetShareAdd(const char* server, short level, const char* buffer, unsigned short size) {
    if (level != LEVEL_50 || size < sizeof(StandinShareInfo50)) return ERROR_INVALID_LEVEL;
    const StandinShareInfo50* info = reinterpret_cast<const StandinShareInfo50*>(buffer);
    std::string file = ShareTableFile();
    ShareTable table;
    LoadShareTable(file, &table);
    TableShare s;
    s.name = FieldText(info->netName, sizeof info->netName);
    if (Listed(table.refuseAdd, s.name)) return ERROR_INVALID_PARAMETER;
    if (FindShare(table, s.name) >= 0) return DUPLICATE_SHARE;
    s.type = info->type;
    s.flags = info->flags;
    s.hasRemark = info->remark != nullptr;
    s.remark = info->remark ? info->remark : "";
    s.hasPath = info->path != nullptr;
    s.path = info->path ? info->path : "";
    s.readOnlyPassword = FieldText(info->readOnlyPassword, sizeof info->readOnlyPassword);
    s.fullPassword = FieldText(info->fullPassword, sizeof info->fullPassword);
    table.shares.push_back(s);
    return SaveShareTable(file, table) ? NERR_Success : ERROR_WRITE_FAULT;
}
