// Client side of the on-access scanner's driver: one device, reached with
// CreateFileA and DeviceIoControl, and a lock around every operation.
#pragma once
#include <windows.h>
#include <stdint.h>

enum ScannerOperation { SCANNER_RESUME = 0, SCANNER_SUSPEND = 1 };

// How a variant opens its device and which codes it sends.
struct ScannerDevice {
    const char* name;
    DWORD access, share, disposition, flags;
    DWORD suspendCode, resumeCode;
};

class ScannerClient {
public:
    explicit ScannerClient(const ScannerDevice& device);
    virtual ~ScannerClient();
    // Whether the device is open; opens it if it is closed.
    virtual bool OpenDevice();
    // CloseHandle's result, or true when it was already closed.
    virtual bool CloseDevice();
    // Whether the driver behind the device can be used.
    virtual bool CheckDriver() = 0;
    // 0 or a Win32 error number. output, when given, receives one word.
    virtual DWORD Request(int operation, uint32_t* output) = 0;

    ScannerClient(const ScannerClient&) = delete;
    ScannerClient& operator=(const ScannerClient&) = delete;

protected:
    // Sends code with no input; output, when given, is one word.
    DWORD Send(DWORD code, uint32_t* output);
    // The code of an operation, or 0 for an unknown one.
    DWORD CodeOf(int operation) const;

    CRITICAL_SECTION lock_;
    HANDLE device_;
    const ScannerDevice& info_;
};

// Holds a client's lock for the length of a scope; critical sections may
// be entered again by the same thread, so operations may call each other.
struct ScannerLock {
    explicit ScannerLock(CRITICAL_SECTION* section) : section(section) { EnterCriticalSection(section); }
    ~ScannerLock() { LeaveCriticalSection(section); }
    CRITICAL_SECTION* section;
};

class ScannerClient9x : public ScannerClient {
public:
    ScannerClient9x();
    bool CheckDriver() override;
    DWORD Request(int operation, uint32_t* output) override;
};

class ScannerClientNT : public ScannerClient {
public:
    ScannerClientNT();
    bool CheckDriver() override;
    DWORD Request(int operation, uint32_t* output) override;
};

// The last error, or fallback when a failing call left none: a failure must
// never read as success.
DWORD LastErrorOr(DWORD fallback);
