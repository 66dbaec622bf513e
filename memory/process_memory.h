// Another process's memory as the matching and patching code sees it: a
// small table of operations, so that the matching logic is the same over a
// process handle (Windows) and over a byte image (native tests).
#pragma once
#include <stddef.h>
#include <stdint.h>

struct ProcessMemory {
    void* handle;
    // Reads all size bytes at address, or fails.
    bool (*read)(void* handle, uint64_t address, void* buffer, size_t size);
    // Writes all size bytes at address, or fails.
    bool (*write)(void* handle, uint64_t address, const void* bytes, size_t size);
    // End (base + size) of the region that holds address; false when the
    // region cannot be queried.
    bool (*regionEnd)(void* handle, uint64_t address, uint64_t* end);
    // Address of an exported function as the process sees it, for a PATCH
    // that writes one. False when the library or function is not there, or
    // when this program cannot know it for the process.
    bool (*functionAddress)(void* handle, const char* dll, const char* function, uint64_t* address);
    // Width of the process's addresses: 4 or 8 bytes. Address arithmetic
    // wraps at that width, and a function address is written with it.
    uint32_t addressSize;
};

// base + value + offset in the process's address width.
uint64_t AddressPlus(const ProcessMemory* memory, uint64_t base, uint64_t value, int32_t offset);
