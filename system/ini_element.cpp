#include "system/ini_element.h"

#include <stdlib.h>
#include <string.h>

#include "report/counters.h"
#include "report/folder_macro.h"
#include "report/message.h"
#include "script/cleaning.h"
#include "script/data_error.h"
#include "script/text_util.h"
#include "system/ini_entries.h"

namespace {

// While INIFILE is open the group record is its file name and the context's
// INI key list its entries.
char* IniFileName(ParseContext* context) {
    return (context->flags & RUN_IN_INIFILE) ? static_cast<char*>(context->groupRecord) : nullptr;
}
IniKeyRecord* IniKeys(ParseContext* context) {
    return (context->flags & RUN_IN_INIFILE) ? static_cast<IniKeyRecord*>(context->iniKeys) : nullptr;
}

bool SetCopy(char** field, const char* value) {
    char* copy = CopyText(value, strlen(value));
    if (!copy) return false;
    free(*field);
    *field = copy;
    return true;
}

// Answers 0 or the data error.
int ReadFileAttribute(char** file, const char* name, const char* value) {
    if (strcmp(name, "os") == 0 || strcmp(name, "confirm") == 0 || strcmp(name, "DefaultMessages") == 0) return 0;
    if (strcmp(name, "FileName") != 0) return DATA_ERROR_ELEMENT;
    free(*file);
    *file = ExpandFolderMacro(value);
    return *file ? 0 : DATA_ERROR_MEMORY;
}

int ReadKeyAttribute(IniKeyRecord* key, const char* name, const char* value) {
    if (strcmp(name, "os") == 0) return 0;
    if (strcmp(name, "name") == 0) return SetCopy(&key->name, value) ? 0 : DATA_ERROR_MEMORY;
    if (strcmp(name, "section") == 0) return SetCopy(&key->section, value) ? 0 : DATA_ERROR_MEMORY;
    return DATA_ERROR_ELEMENT;
}

void ExamineEntries(ParseContext* context, const char* file, IniKeyRecord* keys) {
    const char* threat = context->genericName ? context->genericName : "";
    context->flags |= RUN_DID_INIFILES;
    ReportMessage(MSG_DEFAULT | MSG_INFO, "\r\nRemoving %s entries from %s\r\n", threat, file);
    int32_t foundBefore = g_counters[COUNT_INI_FOUND];
    if (g_cleaning && g_cleaning->removeIniEntries)
        g_cleaning->removeIniEntries(g_cleaning->profiles, file, keys);
    else if (g_cleaning && g_cleaning->profiles)
        RemoveIniEntries(g_cleaning->profiles, file, file, keys);
    if (g_counters[COUNT_INI_FOUND] == foundBefore)
        ReportMessage(MSG_INFO, "Could not find any %s entries in %s\r\n", threat, file);
}

}  // namespace

void OnIniFileStart(ParseContext* context, const char* name, const char** attributes) {
    context->iniKeys = nullptr;
    context->groupRecord = nullptr;
    char* file = nullptr;
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadFileAttribute(&file, a[0], a[1]);
    if (!error && !file) error = DATA_ERROR_ELEMENT;
    if (error) {
        free(file);
        ReportDataError(context, error);
        return;
    }
    context->groupRecord = file;
    context->flags |= RUN_IN_INIFILE;
}

void OnIniFileEnd(ParseContext* context, const char* name) {
    char* file = IniFileName(context);
    IniKeyRecord* keys = IniKeys(context);
    if (!(context->flags & RUN_SKIP) && file) ExamineEntries(context, file, keys);
    FreeIniKeyList(keys);
    free(file);
    if (context->flags & RUN_IN_INIFILE) {
        context->groupRecord = nullptr;
        context->iniKeys = nullptr;
    }
    context->flags &= ~RUN_IN_INIFILE;
}

void OnIniKeyStart(ParseContext* context, const char* name, const char** attributes) {
    if (!IniFileName(context)) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return;
    }
    IniKeyRecord* key = static_cast<IniKeyRecord*>(calloc(1, sizeof(IniKeyRecord)));
    if (!key) {
        ReportDataError(context, DATA_ERROR_MEMORY);
        return;
    }
    int error = 0;
    for (const char** a = attributes; a && a[0] && !error; a += 2) error = ReadKeyAttribute(key, a[0], a[1]);
    if (error) {
        FreeIniKeyList(key);
        ReportDataError(context, error);
        return;
    }
    key->next = IniKeys(context);
    context->iniKeys = key;
}
