// Message output: one routine routes every text the program produces to the
// log, the second output handle, the window's list box and its status line.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Level bits. Callers combine a class bit with routing bits.
enum : uint32_t {
    MSG_ERROR = 0x1,
    MSG_INFO = 0x2,
    MSG_WARNING = 0x20,
    MSG_NO_LOG = 0x40,
    MSG_STATUS = 0x80,
    MSG_NO_LIST = 0x100,
    MSG_DEFAULT = 0x200,
    MSG_LOG_ONLY = 0x40000000,
    MSG_VERBOSE = 0x80000000u,
};

// Bits of MessageSwitches.
enum : uint32_t {
    SWITCH_DEFAULT_MESSAGES = 0x200,
    SWITCH_VERBOSE = 0x80000000u,
};

// A file handle of the platform (a Win32 HANDLE); 0 means none.
typedef void* OutHandle;

// Where output physically goes. The Win32 build supplies WriteFile and the
// dialog's controls; tests supply recorders. Any member may be null.
struct MessageSinks {
    void (*writeFile)(OutHandle file, const char* bytes, size_t count);
    int (*addListEntry)(void* window, const char* line);  // answers the index
    void (*selectListEntry)(void* window, int index);      // -1 clears
    void (*setStatusLine)(void* window, const char* line);
    void (*setControlText)(void* window, int controlId, const char* text);
};

// Process-wide output state, shared by the window thread and the worker.
struct ReportState {
    OutHandle logFile;
    OutHandle secondOutput;
    void* mainWindow;
    uint32_t switches;  // MessageSwitches
    const MessageSinks* sinks;
};

extern ReportState g_report;

// Size of the formatting buffer; longer texts are cut to 1023 bytes.
enum { REPORT_BUFFER_SIZE = 1024 };

void ReportMessage(uint32_t level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
