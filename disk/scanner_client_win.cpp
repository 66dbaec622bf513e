#include "disk/scanner_client_win.h"

ScannerClient::ScannerClient(const ScannerDevice& device) : device_(INVALID_HANDLE_VALUE), info_(device) {
    InitializeCriticalSection(&lock_);
}

ScannerClient::~ScannerClient() {
    if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
    DeleteCriticalSection(&lock_);
}

bool ScannerClient::OpenDevice() {
    ScannerLock hold(&lock_);
    if (device_ == INVALID_HANDLE_VALUE)
        device_ = CreateFileA(info_.name, info_.access, info_.share, nullptr, info_.disposition, info_.flags, nullptr);
    return device_ != INVALID_HANDLE_VALUE;
}

bool ScannerClient::CloseDevice() {
    ScannerLock hold(&lock_);
    if (device_ == INVALID_HANDLE_VALUE) return true;
    BOOL closed = CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
}

DWORD ScannerClient::Send(DWORD code, uint32_t* output) {
    ScannerLock hold(&lock_);
    DWORD returned = 0;
    if (DeviceIoControl(device_, code, nullptr, 0, output, output ? sizeof *output : 0, &returned, nullptr))
        return 0;
    return LastErrorOr(ERROR_GEN_FAILURE);
}

DWORD ScannerClient::CodeOf(int operation) const {
    if (operation == SCANNER_SUSPEND) return info_.suspendCode;
    if (operation == SCANNER_RESUME) return info_.resumeCode;
    return 0;
}

DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error ? error : fallback;
}
