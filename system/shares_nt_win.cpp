#include <stdio.h>
#include <wchar.h>

#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/parse_context.h"
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

static void SaveNtShare(HKEY parent, const SHARE_INFO_2* info) {
    uint32_t number;
    if (!parent || !TakeSaveNumber(&g_savedSharesNt, &number)) return;
    SavedShare share = {};
    share.name = reinterpret_cast<unsigned char*>(info->shi2_netname);
    share.nameLength = WideBytes(info->shi2_netname);
    share.type = info->shi2_type;
    if (info->shi2_remark) {
        share.remark = reinterpret_cast<unsigned char*>(info->shi2_remark);
        share.remarkLength = WideBytes(info->shi2_remark);
    }
    share.permissions = info->shi2_permissions;
    share.maxUses = info->shi2_max_uses;
    if (info->shi2_path) {
        share.path = reinterpret_cast<unsigned char*>(info->shi2_path);
        share.pathLength = WideBytes(info->shi2_path);
    }
    if (info->shi2_passwd) {
        share.fullPassword = reinterpret_cast<unsigned char*>(info->shi2_passwd);
        share.fullPasswordLength = WideBytes(info->shi2_passwd);
    }
    SaveShare(parent, &share, number);
}

static void RecordRemoval(const char* name, int32_t outcome, uint32_t error = 0) {
    RecordItem(ITEM_SHARE, name, "removeShares", "remove", outcome, error);
}

// Asks (when confirmation is on) and removes one disk share; *answer keeps
// the last answer for the shares that follow. A report-only run asks
// nothing and only says what it would remove.
static void RemoveOne(HKEY parent, const SHARE_INFO_2* info, int* answer) {
    Narrow name(info->shi2_netname);
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
    NET_API_STATUS status = g_netShareApi.shareDel(nullptr, info->shi2_netname, 0);
    if (status != NERR_Success) {
        ReportMessage(MSG_ERROR, "Could not remove share %s\r\n", name.text);
        RecordRemoval(name.text, OUTCOME_FAILED, status);
        return;
    }
    ReportMessage(MSG_INFO, "Share %s successfuly removed\r\n", name.text);
    CountEvent(EVENT_SHARE_DELETED);
    RecordRemoval(name.text, OUTCOME_DONE);
    SaveNtShare(parent, info);
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
    bool found = false;
    DWORD resume = 0;
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        NET_API_STATUS status =
            g_netShareApi.shareEnum(nullptr, 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            if (buffer) g_netShareApi.bufferFree(buffer);
            ReportMessage(MSG_ERROR, "Could not enumerate all shares\r\n");
            break;
        }
        ReportMessage(MSG_INFO, "\r\nDisabling all open shares\r\n\r\n");
        const SHARE_INFO_2* shares = reinterpret_cast<const SHARE_INFO_2*>(buffer);
        for (DWORD i = 0; shares && i < read; ++i) {
            if (shares[i].shi2_type != SHARE_TYPE_DISK && shares[i].shi2_type != SHARE_TYPE_SPECIAL) continue;
            if (!shares[i].shi2_netname) continue;  // nothing to delete it by
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
    SHARE_INFO_2 info = {};
    info.shi2_netname = name;
    info.shi2_type = share->type;
    info.shi2_remark = reinterpret_cast<WCHAR*>(share->remark);
    info.shi2_permissions = share->permissions;
    info.shi2_max_uses = share->maxUses;
    info.shi2_path = IsAdminShareName(reinterpret_cast<const uint16_t*>(name)) ? nullptr
                                                                                : reinterpret_cast<WCHAR*>(share->path);
    info.shi2_passwd = reinterpret_cast<WCHAR*>(share->fullPassword);
    DWORD parameterError = 0;
    NET_API_STATUS status = g_netShareApi.shareAdd(nullptr, 2, reinterpret_cast<LPBYTE>(&info), &parameterError);
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
