#include "memory/process_memory.h"

uint64_t AddressPlus(const ProcessMemory* memory, uint64_t base, uint64_t value, int32_t offset) {
    uint64_t sum = base + value + static_cast<uint64_t>(static_cast<int64_t>(offset));
    return memory->addressSize == 8 ? sum : (sum & 0xFFFFFFFFu);
}
