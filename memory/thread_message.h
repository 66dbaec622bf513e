// The message of a PostThreadMessage action, from its parameters text.
#pragma once
#include <stdint.h>

struct ThreadMessage {
    uint32_t message;
    uint32_t wParam;
    uint32_t lParam;
};

// Up to three hexadecimal numbers separated by commas: message, wParam,
// lParam. Values not given are 0; so is everything for a null text.
ThreadMessage ParseThreadMessage(const char* parameters);
