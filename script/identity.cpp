#include "script/identity.h"

#include <stdlib.h>
#include <string.h>

#include "script/settings.h"
#include "script/usage.h"
#include "report/message.h"
#include "script/data_error.h"
#include "script/dispatch.h"
#include "script/local_time.h"
#include "script/text_util.h"

char g_threatName[THREAT_NAME_SIZE];
char g_dataVersion[DATA_VERSION_SIZE];
char* g_variants[MAX_VARIANTS];

static const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};

struct ThreatTypeName {
    const char* word;
    int32_t type;
};
static const ThreatTypeName kThreatTypes[] = {
    {"Virus", THREAT_VIRUS}, {"Worm", THREAT_WORM}, {"Trojan", THREAT_TROJAN}, {"Application", THREAT_APPLICATION}};

void FreeVariants() {
    for (char*& v : g_variants) {
        free(v);
        v = nullptr;
    }
}

// Splits the Variants value at each comma, keeping empty pieces.
static void FillVariants(const char* value) {
    if (g_variants[0]) return;  // a list read by the header pass stays
    int count = 0;
    const char* piece = value;
    while (count < MAX_VARIANTS) {
        const char* comma = strchr(piece, ',');
        size_t length = comma ? static_cast<size_t>(comma - piece) : strlen(piece);
        char* copy = CopyText(piece, length);
        if (!copy) return;
        g_variants[count++] = copy;
        if (!comma) return;
        piece = comma + 1;
    }
}

static void SetThreatType(ParseContext* context, const char* value) {
    for (const ThreatTypeName& t : kThreatTypes)
        if (EqualsIgnoreCase(value, t.word)) context->threatType = t.type;
}

static bool IsIgnoredCleanerAttribute(const char* key) {
    return strcmp(key, "Copyright") == 0 || strcmp(key, "dll") == 0 || strcmp(key, "os") == 0;
}

void OnCleanerStart(ParseContext* context, const char* name, const char** attributes) {
    context->threatType = THREAT_VIRUS;
    const char* dataFile = nullptr;
    const char* version = nullptr;
    bool badAttribute = false;
    for (const char** a = attributes; a && a[0]; a += 2) {
        if (strcmp(a[0], "DataFile") == 0)
            dataFile = a[1];
        else if (strcmp(a[0], "Version") == 0)
            version = a[1];
        else if (strcmp(a[0], "Type") == 0)
            SetThreatType(context, a[1]);
        else if (strcmp(a[0], "Variants") == 0)
            FillVariants(a[1]);
        else if (!IsIgnoredCleanerAttribute(a[0])) {
            badAttribute = true;
            break;
        }
    }
    g_threatType = context->threatType;

    // In a scan run the identity lines belong to the log; the header pass has
    // no log, so they go to the window's list.
    bool scanRun = g_identitySeen != 0;
    uint32_t level = scanRun ? (MSG_LOG_ONLY | MSG_INFO) : MSG_INFO;
    if (dataFile && dataFile[0]) {
        if (!version) version = "";
        // Values longer than the buffers are cut rather than refused.
        CopyBounded(g_threatName, sizeof g_threatName, dataFile);
        CopyBounded(g_dataVersion, sizeof g_dataVersion, version);
        if (strstr(dataFile, ".dat")) {
            ReportMessage(level, "\r\n%s Version %s\r\n", dataFile, version);
        } else {
            if (context->threatType == THREAT_APPLICATION)
                ReportMessage(level, "\r\nApplication removal for %s \r\n", dataFile);
            else
                ReportMessage(level, "\r\nSystem disinfection for %s \r\n", dataFile);
            if (version[0]) ReportMessage(level, "\r\nData Version %s\r\n", version);
        }
        if (g_variants[0] && !scanRun && g_report.mainWindow)
            ReportMessage(MSG_NO_LOG | MSG_INFO, "\r\nView Help About for a list of supported variants\r\n");
    } else if (scanRun) {
        ReportMessage(level, "\r\nNo data file was specified\r\n");
        if (g_settings.secondOutput) PrintUsage();
    }
    if (badAttribute) ReportDataError(context, DATA_ERROR_ATTRIBUTE);
}

static void ReportTime(const char* format) {
    LocalTime now;
    PlatformLocalTime(&now);
    const char* month = (now.month >= 1 && now.month <= 12) ? kMonthNames[now.month - 1] : "";
    ReportMessage(MSG_INFO, format, now.hour, now.minute, now.day, month, now.year);
}

void OnIdentityStart(ParseContext* context, const char* name, const char** attributes) {
    free(context->genericName);
    context->genericName = nullptr;
    for (const char** a = attributes; a && a[0]; a += 2) {
        if (strcmp(a[0], "os") == 0 || strcmp(a[0], "confirm") == 0 || strcmp(a[0], "DefaultMessages") == 0)
            continue;
        if (strcmp(a[0], "GenericName") == 0 && !context->genericName) {
            context->genericName = CopyText(a[1], strlen(a[1]));
            if (!context->genericName) {
                ReportDataError(context, DATA_ERROR_MEMORY);
                return;
            }
            continue;
        }
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    if (!(context->flags & RUN_SKIP)) ReportTime("\r\nSystem scan started at %02d:%02d on %d %s %d\r\n");
}

void OnIdentityEnd(ParseContext* context, const char* name) {
    if (!(context->flags & RUN_SKIP)) ReportTime("\r\nSystem scan finished at %02d:%02d on %d %s %d\r\n");
    free(context->genericName);
    context->genericName = nullptr;
}
