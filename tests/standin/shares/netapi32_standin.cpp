// Stand-in for the NT family's netapi32.dll: the share functions at levels 2
// and 502 (with the share's security descriptor) over the share table, and
// a local Administrators group that holds the current user. Exports every
// netapi32 function the programs import.
#include <windows.h>
#include <lm.h>
#include <string.h>

#include "share_table.h"
#include "standin_dll.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

static std::string Narrow(const WCHAR* wide) {
    if (!wide) return "";
    char text[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text - 1, nullptr, nullptr);
    return text;
}

static size_t WideSize(const std::string& text) { return (text.size() + 1) * sizeof(WCHAR); }

// Copies text as a wide string at *cursor and moves the cursor on.
static WCHAR* PutWide(BYTE** cursor, const std::string& text) {
    WCHAR* out = reinterpret_cast<WCHAR*>(*cursor);
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, static_cast<int>(text.size() + 1));
    if (n <= 0) out[0] = 0;
    *cursor += WideSize(text);
    return out;
}

STANDIN_EXPORT NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
    if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
    return NERR_Success;
}

STANDIN_EXPORT NET_API_STATUS WINAPI NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD, LPDWORD read,
                                                  LPDWORD total, LPDWORD resume) {
    *buffer = nullptr;
    *read = *total = 0;
    if (level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    ShareTable table;
    LoadShareTable(ShareTableFile(), &table);
    if (table.enumStatus) return table.enumStatus;
    size_t start = resume ? *resume : 0;
    size_t count = start < table.shares.size() ? table.shares.size() - start : 0;
    if (table.enumPage && count > table.enumPage) count = table.enumPage;
    // Level 2's record leads level 502's: the fields are the same up to the
    // password.
    size_t entry = level == 502 ? sizeof(SHARE_INFO_502) : sizeof(SHARE_INFO_2);
    size_t size = count * entry;
    for (size_t i = start; i < start + count; ++i) {
        const TableShare& s = table.shares[i];
        size += WideSize(s.name) + WideSize(s.path) + WideSize(s.remark) + WideSize(s.password) + s.security.size() + 8;
    }
    BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1));
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    BYTE* cursor = block + count * entry;
    for (size_t i = 0; i < count; ++i) {
        const TableShare& s = table.shares[start + i];
        SHARE_INFO_502& info = *reinterpret_cast<SHARE_INFO_502*>(block + i * entry);
        info.shi502_netname = PutWide(&cursor, s.name);
        info.shi502_type = s.type;
        info.shi502_remark = s.hasRemark ? PutWide(&cursor, s.remark) : nullptr;
        info.shi502_permissions = s.permissions;
        info.shi502_max_uses = s.maxUses;
        info.shi502_current_uses = 1;
        info.shi502_path = s.hasPath ? PutWide(&cursor, s.path) : nullptr;
        info.shi502_passwd = s.hasPassword ? PutWide(&cursor, s.password) : nullptr;
        if (level == 502 && !s.security.empty()) {
            // Descriptors are read as structures: aligned.
            cursor = reinterpret_cast<BYTE*>((reinterpret_cast<ULONG_PTR>(cursor) + 7) & ~static_cast<ULONG_PTR>(7));
            memcpy(cursor, s.security.data(), s.security.size());
            info.shi502_security_descriptor = cursor;
            cursor += s.security.size();
        }
    }
    *buffer = block;
    *read = static_cast<DWORD>(count);
    *total = static_cast<DWORD>(table.shares.size() - (start < table.shares.size() ? start : table.shares.size()));
    if (resume) *resume = static_cast<DWORD>(start + count);
    return start + count < table.shares.size() ? ERROR_MORE_DATA : NERR_Success;
}

STANDIN_EXPORT NET_API_STATUS WINAPI NetShareDel(LMSTR server, LMSTR name, DWORD) {
    std::string file = ShareTableFile();
    ShareTable table;
    LoadShareTable(file, &table);
    std::string wanted = Narrow(name);
    if (Listed(table.refuseDelete, wanted)) return ERROR_ACCESS_DENIED;
    int at = FindShare(table, wanted);
    if (at < 0) return NERR_NetNameNotFound;
    table.shares.erase(table.shares.begin() + at);
    return SaveShareTable(file, table) ? NERR_Success : ERROR_WRITE_FAULT;
}

STANDIN_EXPORT NET_API_STATUS WINAPI NetShareAdd(LMSTR server, DWORD level, LPBYTE buffer, LPDWORD parameterError) {
    if (level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    const SHARE_INFO_2* info = reinterpret_cast<const SHARE_INFO_2*>(buffer);
    PSECURITY_DESCRIPTOR security =
        level == 502 ? reinterpret_cast<const SHARE_INFO_502*>(buffer)->shi502_security_descriptor : nullptr;
    if (security && !IsValidSecurityDescriptor(security)) return ERROR_INVALID_PARAMETER;
    std::string file = ShareTableFile();
    ShareTable table;
    LoadShareTable(file, &table);
    TableShare s;
    s.name = Narrow(info->shi2_netname);
    if (Listed(table.refuseAdd, s.name)) return ERROR_INVALID_PARAMETER;
    if (FindShare(table, s.name) >= 0) return NERR_DuplicateShare;
    s.type = info->shi2_type;
    s.hasRemark = info->shi2_remark != nullptr;
    s.remark = Narrow(info->shi2_remark);
    s.permissions = info->shi2_permissions;
    s.maxUses = info->shi2_max_uses;
    s.hasPath = info->shi2_path != nullptr;
    s.path = Narrow(info->shi2_path);
    s.hasPassword = info->shi2_passwd != nullptr;
    s.password = Narrow(info->shi2_passwd);
    if (security)
        s.security.assign(static_cast<const char*>(security), GetSecurityDescriptorLength(security));
    table.shares.push_back(s);
    return SaveShareTable(file, table) ? NERR_Success : ERROR_WRITE_FAULT;
}

// Every local group has one member: the user running the program.
STANDIN_EXPORT NET_API_STATUS WINAPI NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR group, DWORD level,
                                                             LPBYTE* buffer, DWORD, LPDWORD read, LPDWORD total,
                                                             PDWORD_PTR resume) {
    *buffer = nullptr;
    *read = *total = 0;
    if (level != 1) return ERROR_INVALID_LEVEL;
    WCHAR user[257] = {};
    DWORD length = 257;
    if (!GetUserNameW(user, &length)) return ERROR_ACCESS_DENIED;
    size_t nameBytes = (wcslen(user) + 1) * sizeof(WCHAR);
    BYTE* block = static_cast<BYTE*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LOCALGROUP_MEMBERS_INFO_1) + nameBytes));
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    LOCALGROUP_MEMBERS_INFO_1* member = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_1*>(block);
    member->lgrmi1_sidusage = SidTypeUser;
    member->lgrmi1_name = reinterpret_cast<LPWSTR>(block + sizeof *member);
    memcpy(member->lgrmi1_name, user, nameBytes);
    *buffer = block;
    *read = *total = 1;
    return NERR_Success;
}
