#include "ui/window_texts.h"

#include <stdio.h>

#include "script/parse_context.h"
#include "script/version.h"

const char kProgramLine[] = "Mendrix Version " MENDRIX_VERSION;
const char kNoticeLine[] = "Single-threat disinfection and removal tool";

void BuildWindowTexts(WindowTexts* out, bool headerRead, const char* threatName, const char* dataVersion,
                      int32_t threatType) {
    if (!headerRead) {
        snprintf(out->title, sizeof out->title, "Mendrix");
        out->versionLine[0] = 0;
        out->description[0] = 0;
        return;
    }
    snprintf(out->title, sizeof out->title, "Mendrix for %s", threatName);
    snprintf(out->versionLine, sizeof out->versionLine, "Data Version: %s", dataVersion);
    snprintf(out->description, sizeof out->description, "%s%s",
             threatType == THREAT_APPLICATION ? "Application removal for " : "System disinfection for ", threatName);
}

CounterLabels CounterLabelsFor(bool headerRead, int32_t threatType) {
    // Only a virus can be disinfected; the template words it that way.
    if (!headerRead || threatType == THREAT_VIRUS) return {nullptr, nullptr};
    return {"Files deleted:", "Processes terminated:"};
}

ConfigTexts ConfigTextsFor(int32_t threatType) {
    switch (threatType) {
    case THREAT_WORM:
        return {"Search for worm on disk", "Scan where worm is expected to be"};
    case THREAT_TROJAN:
        return {"Search for trojan on disk", "Scan where trojan is expected to be"};
    case THREAT_APPLICATION:
        return {"Search for application on disk", "Scan where application is expected to be"};
    default:
        return {"Search for virus on disk", "Scan where virus is expected to be"};
    }
}
