#include "memory/process_open_win.h"

#include "memory/process_calls_win.h"
#include "memory/process_record.h"
#include "report/message.h"

HANDLE OpenMatchedProcess(uint32_t processId, uint64_t creationTime, const char* name, DWORD access,
                          bool* takenOver) {
    *takenOver = false;
    HANDLE process = g_processCalls->open(access, processId);
    if (!process || creationTime == 0) return process;
    uint64_t now = g_processCalls->creationTime(process);
    if (now == 0 || now == creationTime) return process;
    CloseHandle(process);
    *takenOver = true;
    if (name && name[0])
        ReportMessage(MSG_VERBOSE | MSG_INFO,
                      "\r\nProcess %s (process ID %lu) has ended since it was found; its ID now names another "
                      "process, which is left alone\r\n",
                      name, static_cast<unsigned long>(processId));
    else
        ReportMessage(MSG_VERBOSE | MSG_INFO,
                      "\r\nProcess ID %lu names another process than the one found, which is left alone\r\n",
                      static_cast<unsigned long>(processId));
    return nullptr;
}

HANDLE OpenFoundProcess(FoundProcess* entry, DWORD access) {
    if (entry->takenOver) return nullptr;
    bool takenOver = false;
    HANDLE process = OpenMatchedProcess(entry->processId, entry->stamp.creationTime, entry->moduleName, access,
                                        &takenOver);
    if (takenOver) entry->takenOver = 1;
    return process;
}
