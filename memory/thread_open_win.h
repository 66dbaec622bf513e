// Opening a thread of another process by its identifier.
#pragma once
#include <windows.h>
#include <stdint.h>

// Through ZwOpenThread; null when the thread does not open or ntdll lacks it.
HANDLE ZwOpenThreadById(uint32_t threadId, ACCESS_MASK access);
// Through OpenThread when kernel32 has it, else ZwOpenThread.
HANDLE OpenThreadById(uint32_t threadId, ACCESS_MASK access);
