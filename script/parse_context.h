// Per-run state handed to every element handler as the parser's user data.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include "script/text_util.h"

struct ElementEntry;

enum { ELEMENT_STACK_SIZE = 256, DATA_BUFFER_SIZE = 1024 };

// Run flags.
enum : uint32_t {
    RUN_IN_DISK = 0x1,
    RUN_IN_MEMORY = 0x2,
    RUN_IN_REGISTRY = 0x4,
    RUN_WINNT = 0x8,
    RUN_WIN9X = 0x10,
    RUN_SKIP = 0x40,
    RUN_FIRST_DISK = 0x80,
    RUN_IN_INIFILE = 0x100,
    RUN_DID_FILES = 0x200,
    RUN_DID_PROCESSES = 0x400,
    RUN_DID_REGISTRY = 0x800,
    RUN_DID_SHARES = 0x1000,
    RUN_DID_SERVICES = 0x2000,
    RUN_DID_INIFILES = 0x4000,
    RUN_FIRST_SERVICE = 0x10000,
    RUN_INITIAL_FLAGS = RUN_FIRST_DISK | RUN_FIRST_SERVICE,
};

// Result codes of a run (the worker thread's exit code).
enum RunResult {
    RESULT_OK = 0,
    RESULT_PLATFORM = 1,
    RESULT_NO_DATA = 3,
    RESULT_BAD_XML = 9,
    RESULT_CORRUPT = 10,
    RESULT_NO_MEMORY = 12,
};

enum ThreatType { THREAT_VIRUS = 1, THREAT_WORM = 2, THREAT_TROJAN = 3, THREAT_APPLICATION = 4 };

// Platform codes; the same values as the run flags.
enum { PLATFORM_NT = 8, PLATFORM_9X = 16 };

// Element stack markers.
enum { ELEMENT_IGNORED = -1, ELEMENT_PRINT = -2, ELEMENT_LOG = -3 };

struct ElementSlot {
    int32_t index;
    const ElementEntry* children;
    // The text this element is collecting, as far as its pieces have come.
    // Cleared with the rest of the entry when the element starts and ends,
    // so a later element never trusts it.
    TextTail text;
};

struct DecoderState {
    unsigned char* previous;  // null until the first buffer went to the parser
    unsigned char* current;
    FILE* stream;             // external data file, or null for the resource
    int32_t position;         // bytes in the current buffer
    unsigned char* bufferA;   // the pass's two buffers, owned by the pass
    unsigned char* bufferB;
};

struct ParseContext {
    ElementSlot stack[ELEMENT_STACK_SIZE];
    int32_t depth;
    uint32_t flags;
    int32_t threatType;
    char* genericName;
    char* messageText;
    char* serviceText;
    char* helpText;
    uint32_t* suspendedProcesses;  // ends with 0
    char* commandText;
    void* groupRecord;
    void* iniKeys;
    DecoderState decoder;
    int32_t result;
    int32_t overflow;  // start tags met beyond the deepest stack level
};

// Process-wide values that outlive a pass.
extern int32_t g_threatType;
extern int32_t g_platformCode;
extern int32_t g_infected;

void MarkInfected();
