#include "report/message.h"
#include "report/run_report.h"
#include "system/shares_win.h"

void RestoreSavedShares(CreateSavedShareFn create) {
    int found = 0, restored = 0;
    for (uint32_t n = 0; n < MAX_SAVED_SHARES; ++n) {
        char path[SHARE_SUBKEY_PATH_SIZE];
        FormatShareSubkeyPath(path, sizeof path, n);
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &subkey) != ERROR_SUCCESS) continue;
        ++found;
        SavedShare share;
        RestoreOutcome outcome = RESTORE_FAILED;
        bool usable = ReadSavedShare(&share, subkey) && share.name && share.path;
        if (usable) {
            if (n == 0) ReportMessage(MSG_INFO, "\r\n");
            outcome = create(&share, path);
            if (outcome == RESTORE_CREATED) ++restored;
        } else {
            RecordNotExamined(ITEM_SHARE, path, "the saved record could not be read");
        }
        FreeSavedShare(&share);
        RegCloseKey(subkey);
        if (outcome == RESTORE_CREATED || outcome == RESTORE_EXISTED) RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    }
    if (found == 0)
        ReportMessage(MSG_INFO, "\r\nNo shares to restore\r\n");
    else
        ReportMessage(MSG_INFO, "\r\n%d shares restored\r\n", restored);
}
