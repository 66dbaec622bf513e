// The Windows NT driver: its device takes read and write opens, and needs
// no version check.
#include "disk/scanner_client_win.h"

namespace {
const ScannerDevice kDeviceNT = {
    "\\\\.\\Vigilox", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
    FILE_ATTRIBUTE_NORMAL, 0x87A32408, 0x87A32410,
};
}  // namespace

ScannerClientNT::ScannerClientNT() : ScannerClient(kDeviceNT) {}

bool ScannerClientNT::CheckDriver() {
    ScannerLock hold(&lock_);
    return true;
}

// Sent on whatever handle the client holds: a closed device fails in
// DeviceIoControl with the invalid-handle error.
DWORD ScannerClientNT::Request(int operation, uint32_t* output) {
    ScannerLock hold(&lock_);
    DWORD code = CodeOf(operation);
    if (!code) return ERROR_NOT_SUPPORTED;
    return Send(code, output);
}
