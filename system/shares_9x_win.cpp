#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "report/confirm.h"
#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/settings.h"
#include "system/shares_win.h"

#ifndef NERR_DuplicateShare
#define NERR_DuplicateShare 2118
#endif

// Room for 1000 entries, within the 16-bit size the 9x call takes.
static const unsigned kEnumBufferSize = MAX_SAVED_SHARES * sizeof(ShareInfo50);
static_assert(MAX_SAVED_SHARES * sizeof(ShareInfo50) < 65536, "the 9x buffer size is 16-bit");

static uint32_t Bytes(const char* text) { return static_cast<uint32_t>(strlen(text) + 1); }

static unsigned char* Borrow(const char* text) {
    return reinterpret_cast<unsigned char*>(const_cast<char*>(text));
}

// The texts a record of a level-50 entry borrows. The fixed fields of a
// record the server filled in need not end inside it; copies that surely do
// are saved.
struct Texts50 {
    char name[sizeof(ShareInfo50::netName) + 1];
    char readOnly[sizeof(ShareInfo50::readOnlyPassword) + 1];
    char full[sizeof(ShareInfo50::fullPassword) + 1];
};

static void Fill9xRecord(const ShareInfo50* info, Texts50* texts, SavedShare* share) {
    *texts = Texts50{};
    memcpy(texts->name, info->netName, sizeof info->netName);
    memcpy(texts->readOnly, info->readOnlyPassword, sizeof info->readOnlyPassword);
    memcpy(texts->full, info->fullPassword, sizeof info->fullPassword);
    *share = SavedShare{};
    share->name = Borrow(texts->name);
    share->nameLength = Bytes(texts->name);
    share->type = info->type;
    share->flags = info->flags;
    if (info->remark) {
        share->remark = Borrow(info->remark);
        share->remarkLength = Bytes(info->remark);
    }
    if (info->path) {
        share->path = Borrow(info->path);
        share->pathLength = Bytes(info->path);
    }
    share->readOnlyPassword = Borrow(texts->readOnly);
    share->readOnlyPasswordLength = Bytes(texts->readOnly);
    share->fullPassword = Borrow(texts->full);
    share->fullPasswordLength = Bytes(texts->full);
}

static void RecordRemoval(const char* name, int32_t outcome, uint32_t error = 0) {
    RecordItem(ITEM_SHARE, name, "removeShares", "remove", outcome, error);
}

// A report-only run asks nothing and only says what it would remove.
static void RemoveOne(HKEY parent, const ShareInfo50* info, int* answer) {
    char name[sizeof info->netName + 1] = {};
    memcpy(name, info->netName, sizeof info->netName);
    if (ReportOnlyRun()) {
        ReportWouldDo("remove share %s", name);
        RecordRemoval(name, OUTCOME_WOULD);
        return;
    }
    if (g_settings.confirmation == 1) {
        char question[64];
        snprintf(question, sizeof question, "Do you want to remove share %s?", name);
        *answer = AskConfirmation(question, nullptr);
    }
    if (*answer != 'Y' && *answer != 'y') {
        RecordRemoval(name, OUTCOME_DECLINED);
        return;
    }
    ReportMessage(MSG_VERBOSE | MSG_INFO, "Removing share %s\r\n", name);
    // Its record is on disk before the share goes; a share that cannot be
    // saved stays.
    Texts50 texts;
    SavedShare share;
    Fill9xRecord(info, &texts, &share);
    uint32_t number;
    if (!StoreShare(parent, &share, &g_savedShares9x, &number)) {
        RecordRemoval(name, OUTCOME_NOT_SAVED);
        return;
    }
    unsigned status = g_serverApi.shareDel(nullptr, name, 0);
    if (status != NERR_Success) {
        ForgetShare(parent, number, &g_savedShares9x);
        ReportMessage(MSG_ERROR, "Could not remove share %s\r\n", name);
        RecordRemoval(name, OUTCOME_FAILED, status);
        return;
    }
    ReportMessage(MSG_INFO, "Share %s successfuly removed\r\n", name);
    CountEvent(EVENT_SHARE_DELETED);
    RecordRemoval(name, OUTCOME_DONE);
}

void RemoveShares9x() {
    int answer = 'Y';
    if (LoadServerApi() != 0) {
        ReportMessage(MSG_ERROR, "\r\nCould not remove the open shares\r\n");
        return;
    }
    HKEY parent = nullptr;
    // A report-only run saves nothing, so it neither creates nor opens the key.
    if (!ReportOnlyRun() &&
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharesKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &parent, nullptr) != ERROR_SUCCESS) {
        parent = nullptr;
        ReportMessage(MSG_WARNING, "\r\nCould not open registry key to save shares\r\n");
    }
    // Records no restoration has taken yet stay as they are.
    CountPastSavedShares(parent, &g_savedShares9x);
    char* buffer = static_cast<char*>(malloc(kEnumBufferSize));
    if (!buffer) {
        ReportMessage(MSG_ERROR, "\r\nCould not remove the open shares\r\n");
        if (parent) RegCloseKey(parent);
        return;
    }
    unsigned short read = 0, total = 0;
    unsigned status =
        g_serverApi.shareEnum(nullptr, 50, buffer, static_cast<unsigned short>(kEnumBufferSize), &read, &total);
    if (status != NERR_Success && status != ERROR_MORE_DATA) {
        ReportMessage(MSG_ERROR, "Could not enumerate all shares\r\n");
    } else {
        ReportMessage(MSG_INFO, "\r\nDisabling the open shares\r\n\r\n");
        const ShareInfo50* shares = reinterpret_cast<const ShareInfo50*>(buffer);
        bool found = false;
        for (unsigned i = 0; i < read && i < MAX_SAVED_SHARES; ++i) {
            if (shares[i].type != SHARE_TYPE_DISK) continue;
            found = true;
            RemoveOne(parent, &shares[i], &answer);
        }
        if (!found) ReportMessage(MSG_INFO, "No open shares found\r\n");
    }
    free(buffer);
    if (parent) RegCloseKey(parent);
}

// Fills the level-50 record. Answers false when a text does not fit its
// fixed field: such a record is not created, and is kept for later.
static bool Fill50(ShareInfo50* info, SavedShare* share) {
    *info = ShareInfo50{};
    const char* name = reinterpret_cast<const char*>(share->name);
    const char* readOnly = share->readOnlyPassword ? reinterpret_cast<const char*>(share->readOnlyPassword) : "";
    const char* full = share->fullPassword ? reinterpret_cast<const char*>(share->fullPassword) : "";
    if (strlen(name) >= sizeof info->netName || strlen(readOnly) >= sizeof info->readOnlyPassword ||
        strlen(full) >= sizeof info->fullPassword)
        return false;
    strcpy(info->netName, name);
    strcpy(info->readOnlyPassword, readOnly);
    strcpy(info->fullPassword, full);
    info->remark = reinterpret_cast<char*>(share->remark);
    info->path = reinterpret_cast<char*>(share->path);
    CharUpperA(info->path);
    info->flags = static_cast<unsigned short>(share->flags & 0xFFFF);
    info->type = static_cast<unsigned char>(share->type & 0xFF);
    return true;
}

static RestoreOutcome Create9xShare(SavedShare* share, const char* record) {
    const char* name = reinterpret_cast<const char*>(share->name);
    if (ReportOnlyRun()) {
        ReportWouldDo("restore share %s (path %s)", name, reinterpret_cast<const char*>(share->path));
        RecordItem(ITEM_SHARE, name, record, "restore", OUTCOME_WOULD);
        return RESTORE_WOULD;
    }
    ReportMessage(MSG_INFO, "Restoring share %s (path %s)\r\n", name, reinterpret_cast<const char*>(share->path));
    ShareInfo50 info;
    unsigned status = ERROR_INVALID_PARAMETER;
    if (Fill50(&info, share))
        status = g_serverApi.shareAdd(nullptr, 50, reinterpret_cast<const char*>(&info), sizeof info);
    // As on the NT family, a share that already exists is reported failed
    // with the server's code.
    RecordItem(ITEM_SHARE, name, record, "restore", OutcomeOf(status == NERR_Success), status);
    if (status == NERR_Success) return RESTORE_CREATED;
    if (status == NERR_DuplicateShare) {
        ReportMessage(MSG_INFO, "Share \"%s\" already exists\r\n\r\n", name);
        return RESTORE_EXISTED;
    }
    ReportMessage(MSG_INFO, "Could not create share \"%s\"\r\n\r\n", name);
    return RESTORE_FAILED;
}

void RestoreShares9x() {
    if (LoadServerApi() != 0) {
        ReportMessage(MSG_ERROR, "\r\nCould not restore shares\r\n");
        return;
    }
    RestoreSavedShares(Create9xShare);
}
