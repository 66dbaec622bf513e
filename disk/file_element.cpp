// FILE start: a FileRecord from the attributes, put in front of the DISK's
// FILE list, where the ACTION and PATTERN elements that follow attach.
#include <stdlib.h>
#include <string.h>

#include "script/settings.h"
#include "disk/disk_element.h"
#include "disk/file_record.h"
#include "report/folder_macro.h"
#include "script/data_error.h"
#include "script/hex.h"
#include "script/text_util.h"

namespace {

// An empty item can be written (",.exe" or ""), but an empty slot ends the
// list. It matches nothing, so it is kept as a text that no path's ending
// equals: every such ending begins with a dot.
const char kEmptyItem[] = ",";

bool SetCopy(char** field, const char* value) {
    char* copy = CopyText(value, strlen(value));
    if (!copy) return false;
    free(*field);
    *field = copy;
    return true;
}

// Answers 0 or the data error.
int ReadExtensions(FileRecord* record, const char* value) {
    if (EqualsIgnoreCase(value, "all") || g_settings.allFiles) return 0;
    const char* item = value;
    for (int count = 0; count < MAX_EXTENSIONS; ++count) {
        const char* comma = strchr(item, ',');
        size_t length = comma ? static_cast<size_t>(comma - item) : strlen(item);
        if (length >= EXTENSION_SIZE) return DATA_ERROR_ELEMENT;
        if (length == 0) {
            memcpy(record->extensions[count], kEmptyItem, sizeof kEmptyItem);
        } else {
            memcpy(record->extensions[count], item, length);
            record->extensions[count][length] = 0;
        }
        // The next item starts at the next dot; without one the list ends.
        if (!comma) return 0;
        item = strchr(comma, '.');
        if (!item) return 0;
    }
    return 0;
}

// Answers 0 or the data error.
int ReadAttribute(FileRecord* record, const char* key, const char* value) {
    if (strcmp(key, "os") == 0) return 0;
    if (strcmp(key, "VirusName") == 0) return SetCopy(&record->virusName, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(key, "TypeName") == 0) return SetCopy(&record->typeName, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(key, "FileName") == 0) {
        char* expanded = ExpandFolderMacro(value);
        if (!expanded) return DATA_ERROR_MEMORY;
        free(record->fileName);
        record->fileName = expanded;
        return 0;
    }
    if (strcmp(key, "size") == 0) return ParseHex(value, 4, &record->size) < 0 ? DATA_ERROR_ELEMENT : 0;
    if (strcmp(key, "Extensions") == 0) return ReadExtensions(record, value);
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

int FillDefaults(FileRecord* record, const ParseContext* context) {
    if (!record->virusName && context->genericName && !SetCopy(&record->virusName, context->genericName))
        return DATA_ERROR_MEMORY;
    if (!record->typeName && !SetCopy(&record->typeName, TypeWord(context->threatType))) return DATA_ERROR_MEMORY;
    return 0;
}

}  // namespace

void OnFileStart(ParseContext* context, const char* name, const char** attributes) {
    FileRecord* record = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    if (!record) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadAttribute(record, a[0], a[1]);
    if (!error) error = FillDefaults(record, context);
    if (error) {
        FreeFileList(record);
        ReportDataError(context, error);
        return;
    }
    record->next = static_cast<FileRecord*>(context->groupRecord);
    context->groupRecord = record;
}
