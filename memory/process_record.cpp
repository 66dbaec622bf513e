#include "memory/process_record.h"

#include <stdlib.h>

#include "script/action_record.h"
#include "script/pattern_record.h"

static void FreeFoundList(FoundProcess* found) {
    while (found) {
        FoundProcess* next = found->next;
        free(found->moduleName);
        free(found->executablePath);
        free(found);
        found = next;
    }
}

void FreeProcessList(ProcessRecord* first) {
    while (first) {
        ProcessRecord* next = first->next;
        free(first->virusName);
        free(first->processName);
        free(first->processPath);
        free(first->typeName);
        FreeActionRecord(first->action);
        FreePatternList(first->patterns);
        FreeFoundList(first->found);
        FreeLibraryRef(first->library);
        free(first);
        first = next;
    }
}
