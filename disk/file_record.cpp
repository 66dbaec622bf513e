#include "disk/file_record.h"

#include <stdlib.h>

#include "script/action_record.h"
#include "script/pattern_record.h"

void FreeFileList(FileRecord* first) {
    while (first) {
        FileRecord* next = first->next;
        free(first->virusName);
        free(first->fileName);
        free(first->typeName);
        FreeActionRecord(first->action);
        FreePatternList(first->patterns);
        free(first);
        first = next;
    }
}
