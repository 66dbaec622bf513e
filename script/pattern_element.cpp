#include "script/pattern_element.h"

#include <stdlib.h>
#include <string.h>

#include "disk/file_record.h"
#include "memory/process_record.h"
#include "script/action_record.h"
#include "script/data_error.h"
#include "script/hex.h"
#include "script/text_util.h"

// A lone character left at the end of one piece of byte text, waiting for
// the next piece; 0 when none waits. Kept here rather than in the context,
// since only one PATTERN or PATCH is open at a time. Each start tag clears it.
static char g_carry;

// The list a PATTERN or PATCH of the open group goes to: the current record's
// ACTION patches once it has an ACTION, else its PATTERN list.
static PatternRecord** TargetList(ParseContext* context) {
    if (!context->groupRecord) return nullptr;
    if (context->flags & RUN_IN_DISK) {
        FileRecord* file = static_cast<FileRecord*>(context->groupRecord);
        return file->action ? &file->action->patches : &file->patterns;
    }
    if (context->flags & RUN_IN_MEMORY) {
        ProcessRecord* process = static_cast<ProcessRecord*>(context->groupRecord);
        return process->action ? &process->action->patches : &process->patterns;
    }
    return nullptr;
}

static bool ReadOffset(PatternRecord* record, const char* value) {
    const bool negative = value[0] == '-';
    uint32_t magnitude = 0;
    if (ParseHex(value + (negative ? 1 : 0), 4, &magnitude) < 0) return false;
    record->offset = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    return true;
}

static void ReadOrigin(PatternRecord* record, const char* value) {
    if (strcmp(value, "ep") == 0) {
        record->origin = ORIGIN_ENTRY_POINT;
    } else if (strcmp(value, "end") == 0) {
        record->origin = ORIGIN_END;
    } else if (strcmp(value, "stack") == 0) {
        record->origin = ORIGIN_STACK;
    } else if (strncmp(value, "pattern", 7) == 0) {
        uint32_t n = 0;
        if (ParseHex(value + 7, 2, &n) >= 0) record->origin = ORIGIN_PATTERN + static_cast<int32_t>(n);
    }
}

static bool SetCopy(char** slot, const char* value) {
    char* copy = CopyText(value, strlen(value));
    if (!copy) return false;
    free(*slot);
    *slot = copy;
    return true;
}

// Fills the record from the attributes; answers 0 or the data error code.
static int ReadAttributes(PatternRecord* record, const char** attributes) {
    for (const char** a = attributes; a && a[0]; a += 2) {
        const char* key = a[0];
        const char* value = a[1];
        if (strcmp(key, "os") == 0) continue;
        if (strcmp(key, "offset") == 0) {
            if (!ReadOffset(record, value)) return DATA_ERROR_ELEMENT;
        } else if (strcmp(key, "origin") == 0) {
            ReadOrigin(record, value);
        } else if (strcmp(key, "type") == 0) {
            if (strcmp(value, "forwards") == 0) record->forwards = 1;
        } else if (strcmp(key, "length") == 0) {
            if (ParseHex(value, 4, &record->length) < 0) return DATA_ERROR_ELEMENT;
        } else if (strcmp(key, "function") == 0) {
            if (!SetCopy(&record->function, value)) return DATA_ERROR_MEMORY;
        } else if (strcmp(key, "dll") == 0) {
            if (!SetCopy(&record->dll, value)) return DATA_ERROR_MEMORY;
        } else {
            return DATA_ERROR_ATTRIBUTE;
        }
    }
    return 0;
}

void OnPatternStart(ParseContext* context, const char* name, const char** attributes) {
    g_carry = 0;
    PatternRecord** list = TargetList(context);
    if (!list) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    PatternRecord* record = NewPatternRecord();
    if (!record) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    const int error = ReadAttributes(record, attributes);
    if (error) {
        FreePatternList(record);
        ReportDataError(context, error);
        return;
    }
    AppendPattern(list, record);
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads the byte written by the pair first, second: up to two hex digits, a
// non-digit second character ending the byte. False when first is no digit.
static bool AppendByte(PatternRecord* record, char first, char second) {
    const char pair[3] = {first, second, 0};
    uint32_t value = 0;
    if (ParseHex(pair, 1, &value) < 0) return false;
    // The record holds PATTERN_MAX_BYTES; bytes written beyond are dropped.
    if (record->count < PATTERN_MAX_BYTES) record->bytes[record->count++] = static_cast<unsigned char>(value);
    return true;
}

void OnPatternText(ParseContext* context, const char* characters, int length) {
    PatternRecord** list = TargetList(context);
    if (!list || !*list || length <= 0) return;
    PatternRecord* record = *list;
    while (record->next) record = record->next;

    int i = 0;
    if (g_carry) {
        const char carry = g_carry;
        g_carry = 0;
        if (!IsBlank(characters[0])) {
            if (!AppendByte(record, carry, characters[0])) {
                ReportDataError(context, DATA_ERROR_ELEMENT);
                return;
            }
            i = 1;
        }
    }
    while (i < length) {
        if (IsBlank(characters[i])) {
            ++i;
            continue;
        }
        if (i + 1 == length) {
            g_carry = characters[i];
            return;
        }
        if (!AppendByte(record, characters[i], characters[i + 1])) {
            ReportDataError(context, DATA_ERROR_ELEMENT);
            return;
        }
        i += 2;
    }
}
