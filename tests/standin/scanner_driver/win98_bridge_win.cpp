#include "win98_bridge_win.h"

#include <windows.h>
#include <string.h>

namespace {
typedef BOOL(WINAPI* DeviceIoControlFn)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
DeviceIoControlFn g_real = nullptr;

BOOL WINAPI BridgedDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                                   DWORD outputSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    DWORD needed = (code >> 14) & (FILE_READ_DATA | FILE_WRITE_DATA);
    HANDLE wider = nullptr;
    if (needed && device != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), device, GetCurrentProcess(), &wider, needed | SYNCHRONIZE, FALSE, 0)) {
        BOOL ok = g_real(wider, code, input, inputSize, output, outputSize, returned, overlapped);
        DWORD error = GetLastError();
        CloseHandle(wider);  // the caller's handle still holds the file open
        SetLastError(error);
        return ok;
    }
    return g_real(device, code, input, inputSize, output, outputSize, returned, overlapped);
}

IMAGE_THUNK_DATA* FindImport(BYTE* base, const char* dll, const char* function) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) return slots;
        }
    }
    return nullptr;
}
}  // namespace

bool InstallWin98Bridge() {
    IMAGE_THUNK_DATA* slot =
        FindImport(reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr)), "kernel32.dll", "DeviceIoControl");
    if (!slot) return false;
    DWORD old;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
    g_real = reinterpret_cast<DeviceIoControlFn>(slot->u1.Function);
    slot->u1.Function = reinterpret_cast<DWORD_PTR>(&BridgedDeviceIoControl);
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}
