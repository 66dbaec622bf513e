#include "memory/thread_message.h"

#include <string.h>

#include "script/hex.h"

ThreadMessage ParseThreadMessage(const char* parameters) {
    ThreadMessage result = {0, 0, 0};
    uint32_t* values[] = {&result.message, &result.wParam, &result.lParam};
    const char* at = parameters;
    for (uint32_t* value : values) {
        if (!at || ParseHex(at, 4, value) < 0) break;
        at = strchr(at, ',');
        if (at) ++at;
    }
    return result;
}
