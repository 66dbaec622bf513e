#include "memory/memory_element.h"

#include <stdlib.h>
#include <string.h>

#include "memory/process_record.h"
#include "report/folder_macro.h"
#include "report/message.h"
#include "script/action_record.h"
#include "script/cleaning.h"
#include "script/data_error.h"
#include "script/store.h"
#include "script/text_util.h"

namespace {

bool SetCopy(char** field, const char* value) {
    char* copy = CopyText(value, strlen(value));
    if (!copy) return false;
    free(*field);
    *field = copy;
    return true;
}

// Answers 0 or the data error.
int ReadAttribute(ProcessRecord* record, const char* key, const char* value) {
    if (strcmp(key, "os") == 0) return 0;
    if (strcmp(key, "VirusName") == 0) return SetCopy(&record->virusName, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(key, "TypeName") == 0) return SetCopy(&record->typeName, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(key, "ProcessName") == 0) return SetCopy(&record->processName, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(key, "path") == 0) {
        // As a FILE's FileName: a folder that cannot be had fails the element.
        char* expanded = ExpandFolderMacro(value);
        if (!expanded) return DATA_ERROR_MEMORY;
        free(record->processPath);
        record->processPath = expanded;
        return 0;
    }
    if (strcmp(key, "dll") == 0) {
        // Out of memory here only loses the library, as a later dll would
        // replace it anyway.
        char* name = SubstitutedFileName(value);
        if (!name) return 0;
        LibraryRef* library = NewLibraryRef(name);
        if (!library) return 0;
        FreeLibraryRef(record->library);
        record->library = library;
        return 0;
    }
    return DATA_ERROR_ELEMENT;
}

const char* TypeWord(int32_t threatType) {
    switch (threatType) {
    case THREAT_WORM:
        return "Worm";
    case THREAT_TROJAN:
        return "Trojan";
    case THREAT_APPLICATION:
        return "Application";
    default:
        return "Virus";
    }
}

}  // namespace

void OnMemoryStart(ParseContext* context, const char* name, const char** attributes) {
    context->flags |= RUN_IN_MEMORY;
    context->groupRecord = nullptr;
}

void OnProcessStart(ParseContext* context, const char* name, const char** attributes) {
    ProcessRecord* record = static_cast<ProcessRecord*>(calloc(1, sizeof(ProcessRecord)));
    if (!record) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    record->isProcess = strcmp(name, "THREAD") != 0;
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadAttribute(record, a[0], a[1]);
    if (!error && !record->virusName && context->genericName && !SetCopy(&record->virusName, context->genericName))
        error = DATA_ERROR_MEMORY;
    if (!error && !record->typeName && !SetCopy(&record->typeName, TypeWord(context->threatType)))
        error = DATA_ERROR_MEMORY;
    if (error) {
        FreeProcessList(record);
        ReportDataError(context, error);
        return;
    }
    record->next = static_cast<ProcessRecord*>(context->groupRecord);
    context->groupRecord = record;
}

void OnMemoryEnd(ParseContext* context, const char* name) {
    ProcessRecord* records =
        (context->flags & RUN_IN_MEMORY) ? static_cast<ProcessRecord*>(context->groupRecord) : nullptr;
    if (!(context->flags & RUN_SKIP)) {
        ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nChecking for %s in memory\r\n",
                      context->genericName ? context->genericName : "");
        ReportMessage(MSG_STATUS, "Memory\r\n");
        context->flags |= RUN_DID_PROCESSES;
        // Without an installed table (the data-file tool, native tests) the
        // records are only built and released.
        if (g_cleaning && g_cleaning->scanMemory) g_cleaning->scanMemory(context, records);
    }
    FreeProcessList(records);
    if (context->flags & RUN_IN_MEMORY) context->groupRecord = nullptr;
    context->flags &= ~RUN_IN_MEMORY;
}
