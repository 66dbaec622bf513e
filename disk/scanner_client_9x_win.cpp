// The Windows 9x driver: a VxD device, usable only up to version 0x419.
#include "disk/scanner_client_win.h"

namespace {
const ScannerDevice kDevice9x = {
    "\\\\.\\VLXGUARD", 0, 0, 0, FILE_FLAG_DELETE_ON_CLOSE, 0x7D004018, 0x7D00401C,
};
constexpr DWORD kVersionQuery = 0x7D004000;
constexpr DWORD kNewestSupported = 0x419;
// First answers that stand for version 0x20A without a second query.
constexpr uint32_t kOldAnswer = 0x80000, kOldVersion = 0x20A;

// A query that succeeds but fills less than asked leaves no answer to read.
bool Query(HANDLE device, void* answer, DWORD size) {
    DWORD returned = 0;
    if (!DeviceIoControl(device, kVersionQuery, nullptr, 0, answer, size, &returned, nullptr)) return false;
    if (returned >= size) return true;
    SetLastError(ERROR_INVALID_DATA);
    return false;
}
}  // namespace

ScannerClient9x::ScannerClient9x() : ScannerClient(kDevice9x) {}

bool ScannerClient9x::CheckDriver() {
    ScannerLock hold(&lock_);
    if (!OpenDevice()) return false;
    uint32_t first = 0;
    if (!Query(device_, &first, sizeof first)) return false;
    uint32_t version = kOldVersion;
    if (first != kOldAnswer && first != kOldVersion) {
        uint32_t pair[2] = {0, 0};
        if (!Query(device_, pair, sizeof pair)) return false;
        version = pair[1];
    }
    if (version > kNewestSupported) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    return true;
}

DWORD ScannerClient9x::Request(int operation, uint32_t* output) {
    ScannerLock hold(&lock_);
    DWORD code = CodeOf(operation);
    if (!code) return ERROR_NOT_SUPPORTED;
    if (!OpenDevice() || !CheckDriver()) return ERROR_GEN_FAILURE;
    return Send(code, output);
}
