#include <stdio.h>
#include <wchar.h>

#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/parse_context.h"
#include "script/function_lookup_win.h"
#include "script/settings.h"
#include "system/shares_win.h"

#ifndef NERR_DuplicateShare
#define NERR_DuplicateShare 2118
#endif

// Share names and paths reach messages in the program's 8-bit text.
struct Narrow {
    char text[1024];
    explicit Narrow(const WCHAR* wide) {
        text[0] = 0;
        if (wide && !WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr))
            text[sizeof text - 1] = 0;
    }
};

static uint32_t WideBytes(const WCHAR* text) { return static_cast<uint32_t>((wcslen(text) + 1) * 2); }

// The security descriptor functions, which only the NT family has; looked up
// at run time, as the program loads on the 9x family too.
typedef DWORD(WINAPI* DescriptorLengthFn)(PSECURITY_DESCRIPTOR);
typedef BOOL(WINAPI* ValidDescriptorFn)(PSECURITY_DESCRIPTOR);

static bool DescriptorFunctions(DescriptorLengthFn* length, ValidDescriptorFn* valid) {
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    return LookUpFunction(advapi, "GetSecurityDescriptorLength", length) &&
           LookUpFunction(advapi, "IsValidSecurityDescriptor", valid);
}

// The share's record, borrowing the enumeration's texts; its security
// descriptor too, where it has a valid one.
static void FillNtRecord(const SHARE_INFO_502* info, SavedShare* share) {
    *share = SavedShare{};
    share->name = reinterpret_cast<unsigned char*>(info->shi502_netname);
    share->nameLength = WideBytes(info->shi502_netname);
    share->type = info->shi502_type;
    if (info->shi502_remark) {
        share->remark = reinterpret_cast<unsigned char*>(info->shi502_remark);
        share->remarkLength = WideBytes(info->shi502_remark);
    }
    share->permissions = info->shi502_permissions;
    share->maxUses = info->shi502_max_uses;
    if (info->shi502_path) {
        share->path = reinterpret_cast<unsigned char*>(info->shi502_path);
        share->pathLength = WideBytes(info->shi502_path);
    }
    if (info->shi502_passwd) {
        share->fullPassword = reinterpret_cast<unsigned char*>(info->shi502_passwd);
        share->fullPasswordLength = WideBytes(info->shi502_passwd);
    }
    DescriptorLengthFn length;
    ValidDescriptorFn valid;
    if (info->shi502_security_descriptor && DescriptorFunctions(&length, &valid) &&
        valid(info->shi502_security_descriptor)) {
        share->security = static_cast<unsigned char*>(info->shi502_security_descriptor);
        share->securityLength = length(info->shi502_security_descriptor);
    }
}

static void RecordRemoval(const char* name, int32_t outcome, uint32_t error = 0) {
    RecordItem(ITEM_SHARE, name, "removeShares", "remove", outcome, error);
}

// Asks (when confirmation is on) and removes one disk share; *answer keeps
// the last answer for the shares that follow. A report-only run asks
// nothing and only says what it would remove.
static void RemoveOne(HKEY parent, const SHARE_INFO_502* info, int* answer) {
    Narrow name(info->shi502_netname);
    if (ReportOnlyRun()) {
        ReportWouldDo("remove share %s", name.text);
        RecordRemoval(name.text, OUTCOME_WOULD);
        return;
    }
    if (g_settings.confirmation == 1) {
        char question[1100];
        snprintf(question, sizeof question, "Do you want to remove share %s?", name.text);
        *answer = AskConfirmation(question, nullptr);
    }
    if (*answer != 'Y' && *answer != 'y') {
        RecordRemoval(name.text, OUTCOME_DECLINED);
        return;
    }
    ReportMessage(MSG_INFO, "Removing share %s\r\n", name.text);
    // Its record is on disk before the share goes; a share that cannot be
    // saved stays.
    SavedShare share;
    FillNtRecord(info, &share);
    uint32_t number;
    if (!StoreShare(parent, &share, &g_savedSharesNt, &number)) {
        RecordRemoval(name.text, OUTCOME_NOT_SAVED);
        return;
    }
    NET_API_STATUS status = g_netShareApi.shareDel(nullptr, info->shi502_netname, 0);
    if (status != NERR_Success) {
        ForgetShare(parent, number, &g_savedSharesNt);
        ReportMessage(MSG_ERROR, "Could not remove share %s\r\n", name.text);
        RecordRemoval(name.text, OUTCOME_FAILED, status);
        return;
    }
    ReportMessage(MSG_INFO, "Share %s successfuly removed\r\n", name.text);
    CountEvent(EVENT_SHARE_DELETED);
    RecordRemoval(name.text, OUTCOME_DONE);
}

static HKEY OpenSharesKey() {
    HKEY parent = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharesKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &parent, nullptr) == ERROR_SUCCESS)
        return parent;
    ReportMessage(MSG_WARNING, "\r\nCould not open registry key to save shares\r\n");
    return nullptr;
}

void RemoveSharesNt() {
    int answer = 'Y';
    // A report-only run saves nothing, so it neither creates nor opens the key.
    HKEY parent = ReportOnlyRun() ? nullptr : OpenSharesKey();
    if (LoadNetShareApi() != 0) {
        ReportMessage(MSG_ERROR, "\r\nCould not remove the open shares\r\n");
        if (parent) RegCloseKey(parent);
        return;
    }
    // Records no restoration has taken yet stay as they are.
    CountPastSavedShares(parent, &g_savedSharesNt);
    bool found = false;
    DWORD resume = 0;
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        // Level 502 brings each share's security descriptor, which its
        // record keeps.
        NET_API_STATUS status =
            g_netShareApi.shareEnum(nullptr, 502, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            if (buffer) g_netShareApi.bufferFree(buffer);
            ReportMessage(MSG_ERROR, "Could not enumerate all shares\r\n");
            break;
        }
        ReportMessage(MSG_INFO, "\r\nDisabling all open shares\r\n\r\n");
        const SHARE_INFO_502* shares = reinterpret_cast<const SHARE_INFO_502*>(buffer);
        for (DWORD i = 0; shares && i < read; ++i) {
            if (shares[i].shi502_type != SHARE_TYPE_DISK && shares[i].shi502_type != SHARE_TYPE_SPECIAL) continue;
            if (!shares[i].shi502_netname) continue;  // nothing to delete it by
            found = true;
            RemoveOne(parent, &shares[i], &answer);
        }
        if (buffer) g_netShareApi.bufferFree(buffer);
        // A server that asks to go on but hands over nothing would keep the
        // loop going for ever.
        if (status != ERROR_MORE_DATA || read == 0) break;
    }
    if (!found) ReportMessage(MSG_INFO, "No open shares found\r\n");
    if (parent) RegCloseKey(parent);
}

static RestoreOutcome CreateNtShare(SavedShare* share, const char* record) {
    WCHAR* name = reinterpret_cast<WCHAR*>(share->name);
    Narrow shown(name);
    Narrow folder(reinterpret_cast<WCHAR*>(share->path));
    if (ReportOnlyRun()) {
        ReportWouldDo("restore share %s (path %s)", shown.text, folder.text);
        RecordItem(ITEM_SHARE, shown.text, record, "restore", OUTCOME_WOULD);
        return RESTORE_WOULD;
    }
    ReportMessage(MSG_INFO, "Restoring share %s (path %s)\r\n", shown.text, folder.text);
    SHARE_INFO_502 info = {};
    info.shi502_netname = name;
    info.shi502_type = share->type;
    info.shi502_remark = reinterpret_cast<WCHAR*>(share->remark);
    info.shi502_permissions = share->permissions;
    info.shi502_max_uses = share->maxUses;
    info.shi502_path = IsAdminShareName(reinterpret_cast<const uint16_t*>(name))
                           ? nullptr
                           : reinterpret_cast<WCHAR*>(share->path);
    info.shi502_passwd = reinterpret_cast<WCHAR*>(share->fullPassword);
    // A record with a security descriptor gets it back (level 502); an
    // older one, without, is created as before (level 2, whose fields lead
    // those of 502). A descriptor that is not valid is not dropped for an
    // open share: the record stays for another try.
    DescriptorLengthFn length;
    ValidDescriptorFn valid;
    bool usable = !share->security || (SavedDescriptorFits(share->security, share->securityLength) &&
                                       DescriptorFunctions(&length, &valid) && valid(share->security));
    info.shi502_security_descriptor = share->security;
    DWORD parameterError = 0;
    NET_API_STATUS status = usable ? g_netShareApi.shareAdd(nullptr, share->security ? 502 : 2,
                                                            reinterpret_cast<LPBYTE>(&info), &parameterError)
                                   : ERROR_INVALID_PARAMETER;
    // A share that already exists was not created: the report says so with
    // the server's code, though its record goes as one dealt with.
    RecordItem(ITEM_SHARE, shown.text, record, "restore", OutcomeOf(status == NERR_Success), status);
    if (status == NERR_Success) return RESTORE_CREATED;
    if (status == NERR_DuplicateShare) {
        ReportMessage(MSG_INFO, "Share \"%s\" already exists\r\n\r\n", shown.text);
        return RESTORE_EXISTED;
    }
    ReportMessage(MSG_INFO, "Could not create share \"%s\"\r\n\r\n", shown.text);
    return RESTORE_FAILED;
}

void RestoreSharesNt() {
    if (LoadNetShareApi() != 0) {
        ReportMessage(MSG_ERROR, "\r\nCould not restore shares\r\n");
        return;
    }
    RestoreSavedShares(CreateNtShare);
}

void RemoveSharesFor(int32_t platformCode) {
    if (platformCode == PLATFORM_NT)
        RemoveSharesNt();
    else
        RemoveShares9x();
}
