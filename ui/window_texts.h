// Texts of the main window, the About box and the Configuration dialog that
// depend on what the header pass learned about the threat.
#pragma once
#include <stdint.h>

#include "script/identity.h"

extern const char kProgramLine[];  // first line of the About box
extern const char kNoticeLine[];   // second line of the About box

// Built once when the main window opens. Each buffer holds its prefix and
// the longest value the header fields can hold.
struct WindowTexts {
    char title[16 + THREAT_NAME_SIZE];
    char versionLine[16 + DATA_VERSION_SIZE];
    char description[32 + THREAT_NAME_SIZE];
};

// headerRead: the header pass answered 0. Without it the title is the
// program's name and both lines are empty.
void BuildWindowTexts(WindowTexts* out, bool headerRead, const char* threatName, const char* dataVersion,
                      int32_t threatType);

// Labels of the right counter column; null keeps the template's wording.
struct CounterLabels {
    const char* filesDeleted;
    const char* processesTerminated;
};
CounterLabels CounterLabelsFor(bool headerRead, int32_t threatType);

// The Configuration dialog's disk check box and its narrower scan choice.
struct ConfigTexts {
    const char* searchOnDisk;
    const char* expectedPlaces;
};
ConfigTexts ConfigTextsFor(int32_t threatType);
