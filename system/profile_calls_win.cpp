#include <windows.h>

#include "system/system_calls_win.h"

namespace {

uint32_t Read(const char* section, const char* name, const char* defaultText, char* buffer, uint32_t size,
              const char* file) {
    return GetPrivateProfileStringA(section, name, defaultText, buffer, size, file);
}

bool Write(const char* section, const char* name, const char* value, const char* file) {
    return WritePrivateProfileStringA(section, name, value, file) != FALSE;
}

const ProfileCalls kCalls = {Read, Write};

}  // namespace

const ProfileCalls* Win32ProfileCalls() { return &kCalls; }
