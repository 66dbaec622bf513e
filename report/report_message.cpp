#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "report/line_split.h"
#include "report/message.h"

ReportState g_report = {0, 0, nullptr, SWITCH_DEFAULT_MESSAGES, nullptr};

// Every bit that asks for the list box; STATUS and LOG_ONLY alone do not.
static bool WantsList(uint32_t level) {
    if (level & (MSG_VERBOSE | MSG_NO_LIST)) return false;
    return (level & ~(uint32_t)(MSG_STATUS | MSG_LOG_ONLY)) != 0;
}

static void WriteOut(const MessageSinks* sinks, OutHandle file, const char* text, size_t count) {
    if (sinks && sinks->writeFile) sinks->writeFile(file, text, count);
}

void ReportMessage(uint32_t level, const char* format, ...) {
    if ((level & MSG_DEFAULT) && !(g_report.switches & SWITCH_DEFAULT_MESSAGES)) return;

    char text[REPORT_BUFFER_SIZE];
    text[0] = 0;
    if (format) {
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    // Some C runtimes leave a cut text unterminated.
    text[sizeof text - 1] = 0;
    size_t length = strlen(text);

    const MessageSinks* sinks = g_report.sinks;
    bool verboseOff = (level & MSG_VERBOSE) && !(g_report.switches & SWITCH_VERBOSE);
    if (!verboseOff && (level & ~(uint32_t)MSG_STATUS) != 0) {
        if (!(level & MSG_NO_LOG) && g_report.logFile != 0)
            WriteOut(sinks, g_report.logFile, text, length);
        if (level & MSG_LOG_ONLY) return;
        if (g_report.secondOutput != 0) WriteOut(sinks, g_report.secondOutput, text, length);
    }

    void* window = g_report.mainWindow;
    if ((level & MSG_LOG_ONLY) || window == nullptr) return;

    bool toList = WantsList(level);
    bool added = false;
    int index = -1;
    size_t pos = 0;
    LineSpan line;
    while (NextLine(text, length, &pos, &line)) {
        // The break run is already passed, so its first character can end
        // the line for the sinks.
        text[line.start + line.length] = 0;
        const char* lineText = text + line.start;
        if ((level & MSG_STATUS) && sinks && sinks->setStatusLine)
            sinks->setStatusLine(window, lineText);
        if (toList && sinks && sinks->addListEntry) {
            index = sinks->addListEntry(window, lineText);
            added = true;
        }
    }
    if (!toList) return;
    if (!added && sinks && sinks->addListEntry) index = sinks->addListEntry(window, text);
    if (sinks && sinks->selectListEntry) {
        sinks->selectListEntry(window, index);
        sinks->selectListEntry(window, -1);
    }
}
