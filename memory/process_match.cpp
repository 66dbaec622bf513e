#include "memory/process_match.h"

#include <stdlib.h>
#include <string.h>

#include "memory/process_items.h"
#include "memory/process_record.h"
#include "report/counters.h"
#include "report/run_report.h"
#include "script/action_record.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"
#include "script/text_util.h"

int32_t g_actionsPending = 0;

namespace {

enum { DOS_HEADER_SIZE = 64, NT_HEADERS_SIZE = 248 };
// Offsets inside the image headers; the same for 32-bit and 64-bit images.
enum { DOS_NT_OFFSET = 0x3C, NT_ENTRY_POINT = 0x28, NT_SIZE_OF_IMAGE = 0x50 };
const uint32_t kPeSignature = 0x00004550;

uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A forward window can hold length + count bytes; no search needs more than
// this, and a length near 4 GB is a data file asking for too much.
const uint64_t kLargestWindow = 0x10000000u;

bool SearchForwards(const ProcessMemory* memory, uint64_t address, PatternRecord* pattern) {
    if (pattern->length == PATTERN_NO_LIMIT) return false;
    uint64_t window = static_cast<uint64_t>(pattern->length) + pattern->count;
    if (window > kLargestWindow) return false;
    uint64_t end = 0;
    if (!memory->regionEnd(memory->handle, address, &end)) return false;
    if (end < address + window) window = end > address ? end - address : 0;
    if (window <= pattern->count) return false;
    unsigned char* bytes = static_cast<unsigned char*>(malloc(static_cast<size_t>(window)));
    if (!bytes) return false;
    bool found = false;
    if (memory->read(memory->handle, address, bytes, static_cast<size_t>(window))) {
        // The last position, window - count, is not tried: a full window
        // tries exactly length positions.
        for (uint64_t at = 0; at < window - pattern->count; ++at) {
            if (memcmp(bytes + at, pattern->bytes, pattern->count) == 0) {
                pattern->foundAddress = AddressPlus(memory, address, at, 0);
                found = true;
                break;
            }
        }
    }
    free(bytes);
    return found;
}

bool AddFound(ProcessRecord* record, uint32_t processId, const char* moduleName, const char* path,
              const ProcessStamp* stamp) {
    FoundProcess* entry = static_cast<FoundProcess*>(calloc(1, sizeof(FoundProcess)));
    if (!entry) return false;
    entry->moduleName = CopyText(moduleName, strlen(moduleName));
    entry->executablePath = CopyText(path, strlen(path));
    if (!entry->moduleName || !entry->executablePath) {
        free(entry->moduleName);
        free(entry->executablePath);
        free(entry);
        return false;
    }
    entry->processId = processId;
    if (stamp) entry->stamp = *stamp;
    entry->next = record->found;
    record->found = entry;
    return true;
}

// The n-th PATTERN of the record, counted from 0.
PatternRecord* PatternNumber(ProcessRecord* record, int32_t n) {
    PatternRecord* p = record->patterns;
    for (int32_t i = 0; p && i < n; ++i) p = p->next;
    return p;
}

bool PatchTarget(ProcessRecord* record, const ProcessMemory* memory, uint64_t base, const PatchRecord* patch,
                 uint64_t* target) {
    if (patch->origin >= ORIGIN_PATTERN) {
        PatternRecord* pattern = PatternNumber(record, patch->origin - ORIGIN_PATTERN);
        if (!pattern || pattern->foundAddress == 0) return false;
        *target = AddressPlus(memory, pattern->foundAddress, 0, patch->offset);
        return true;
    }
    uint64_t value = 0;
    if ((patch->origin == ORIGIN_ENTRY_POINT || patch->origin == ORIGIN_END) &&
        !ReadImageValue(memory, base, patch->origin, &value))
        return false;
    *target = AddressPlus(memory, base, value, patch->offset);
    return true;
}

// "write" on a matched process: patched at once, while it is open. A
// report-only run leaves it as it is, but keeps actionsPending as a real
// patch would, so that the passes after it report what a real run does.
void WriteMatchedProcess(ProcessRecord* record, const ProcessMemory* memory, uint64_t base, uint32_t processId,
                         const char* moduleName) {
    if (ReportOnlyRun()) {
        g_actionsPending = 1;
        ReportWouldDo("patch the memory of process %s (process ID %lu)", moduleName,
                      static_cast<unsigned long>(processId));
        RecordProcessWork(ITEM_PROCESS, record, moduleName, "write", OUTCOME_WOULD, 0, processId);
        return;
    }
    uint32_t error = 0;
    bool patched = PatchProcessMemory(record, memory, base, &error);
    if (patched) CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
    RecordProcessWork(ITEM_PROCESS, record, moduleName, "write", OutcomeOf(patched), error, processId);
}

}  // namespace

const char* RecordKeyword(const ProcessRecord* record) { return record->action ? record->action->keyword : nullptr; }

bool KeywordIs(const ProcessRecord* record, const char* word) {
    const char* keyword = RecordKeyword(record);
    return keyword && strcmp(keyword, word) == 0;
}

bool KeywordStartsSuspend(const ProcessRecord* record) {
    const char* keyword = RecordKeyword(record);
    return keyword && strncmp(keyword, "suspend", 7) == 0;
}

bool ReadImageValue(const ProcessMemory* memory, uint64_t base, int32_t origin, uint64_t* value) {
    unsigned char dos[DOS_HEADER_SIZE];
    if (!memory->read(memory->handle, base, dos, sizeof dos)) return false;
    unsigned char nt[NT_HEADERS_SIZE];
    if (!memory->read(memory->handle, AddressPlus(memory, base, Le32(dos + DOS_NT_OFFSET), 0), nt, sizeof nt))
        return false;
    if (Le32(nt) != kPeSignature) return false;
    *value = Le32(nt + (origin == ORIGIN_ENTRY_POINT ? int{NT_ENTRY_POINT} : int{NT_SIZE_OF_IMAGE}));
    return true;
}

bool MatchBytesAt(const ProcessMemory* memory, uint64_t address, PatternRecord* pattern) {
    if (pattern->forwards) return SearchForwards(memory, address, pattern);
    if (pattern->count == 0) return true;
    unsigned char bytes[PATTERN_MAX_BYTES];
    uint32_t count = pattern->count < uint32_t{PATTERN_MAX_BYTES} ? pattern->count : uint32_t{PATTERN_MAX_BYTES};
    if (!memory->read(memory->handle, address, bytes, count)) return false;
    return memcmp(bytes, pattern->bytes, count) == 0;
}

bool MatchPatternInProcess(const ProcessMemory* memory, uint64_t base, PatternRecord* pattern) {
    uint64_t value = 0;
    if ((pattern->origin == ORIGIN_ENTRY_POINT || pattern->origin == ORIGIN_END) &&
        !ReadImageValue(memory, base, pattern->origin, &value))
        return false;
    return MatchBytesAt(memory, AddressPlus(memory, base, value, pattern->offset), pattern);
}

bool CheckModule(uint32_t processId, const ProcessMemory* memory, uint64_t base, const char* moduleName,
                 const char* executablePath, ProcessRecord* record, const ProcessStamp* stamp) {
    bool nameFits = (!record->processName || EqualsIgnoreCase(record->processName, moduleName)) &&
                    (!record->processPath || EqualsIgnoreCase(record->processPath, executablePath));
    if (record->isProcess && record->patterns && nameFits) {
        for (PatternRecord* p = record->patterns; p; p = p->next)
            if (!MatchPatternInProcess(memory, base, p)) return false;
    }
    if (!nameFits) return false;
    if (record->isProcess &&
        (KeywordIs(record, "kill") || KeywordIs(record, "forcekill") || KeywordIs(record, "PostThreadMessage")))
        g_actionsPending = 1;
    if (record->isProcess && KeywordIs(record, "write")) {
        CountEvent(EVENT_PROCESS_FOUND);
        WriteMatchedProcess(record, memory, base, processId, moduleName);
    } else {
        AddFound(record, processId, moduleName, executablePath, stamp);  // a failed allocation drops the entry
    }
    if (record->isProcess && record->action && record->action->setInfected) MarkInfected();
    return true;
}

bool PatchProcessMemory(ProcessRecord* record, const ProcessMemory* memory, uint64_t base, uint32_t* error) {
    g_actionsPending = 1;
    uint32_t ignored = 0;
    if (!error) error = &ignored;
    *error = 0;
    if (!record->action) return true;
    for (const PatchRecord* patch = record->action->patches; patch; patch = patch->next) {
        uint64_t target = 0;
        if (!PatchTarget(record, memory, base, patch, &target)) return false;
        if (patch->function && patch->count == 0) {
            uint64_t address = 0;
            if (!patch->dll || !memory->functionAddress(memory->handle, patch->dll, patch->function, &address))
                continue;
            unsigned char bytes[8];
            for (uint32_t i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(address >> (8 * i));
            if (!memory->write(memory->handle, target, bytes, memory->addressSize)) {
                *error = PlatformLastError();
                return false;
            }
        } else if (patch->count != 0) {
            if (!memory->write(memory->handle, target, patch->bytes, patch->count)) {
                *error = PlatformLastError();
                return false;
            }
        }
    }
    return true;
}
