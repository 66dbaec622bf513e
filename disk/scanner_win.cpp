// SetScannerState: every call works with a client of its own, reached
// through a thread-local slot for the length of the call.
#include "disk/scanner.h"

#include <windows.h>

#include "disk/scanner_client_win.h"

namespace {
// Read once with GetVersionExA; 0 until a read succeeds.
DWORD g_platform = 0;

// The clients of successful suspends. Their open handles are what keeps
// the scanner suspended, so they live until the program ends.
struct KeptClient {
    ScannerClient* client;
    KeptClient* next;
};
KeptClient* g_keptClients = nullptr;

ScannerClient* MakeScannerClient() {
    if (!g_platform) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        if (GetVersionExA(&version)) g_platform = version.dwPlatformId;
    }
    if (g_platform == VER_PLATFORM_WIN32_WINDOWS) return new ScannerClient9x();
    if (g_platform == VER_PLATFORM_WIN32_NT) return new ScannerClientNT();
    return nullptr;
}

// 0 when the driver took the request, ERROR_FILE_NOT_FOUND only when no
// driver device exists, otherwise the error. A driver that fails a query or
// request with "file not found" has refused; it must not pass for absent.
DWORD RequestSequence(ScannerClient* client, int operation) {
    if (!client->OpenDevice()) return LastErrorOr(ERROR_GEN_FAILURE);
    DWORD result = client->CheckDriver() ? client->Request(operation, nullptr) : LastErrorOr(ERROR_GEN_FAILURE);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_GEN_FAILURE : result;
}

void Keep(ScannerClient* client) {
    g_keptClients = new KeptClient{client, g_keptClients};
}
}  // namespace

int SetScannerState(int resume) {
    DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) return -1;
    TlsGetValue(slot);
    if (GetLastError() != 0) {
        TlsFree(slot);
        return -1;
    }
    ScannerClient* client = MakeScannerClient();
    if (!client) {
        TlsFree(slot);
        return -1;
    }
    if (!TlsSetValue(slot, client)) {
        delete client;
        TlsFree(slot);
        return -1;
    }

    DWORD result = RequestSequence(client, resume ? SCANNER_RESUME : SCANNER_SUSPEND);
    // A resume client closes its device at once; so does a suspend that
    // suspended nothing, or a failed retry would leave one more handle open.
    if (!resume && result == 0) {
        Keep(client);
    } else {
        delete client;
    }
    TlsSetValue(slot, nullptr);
    TlsFree(slot);
    return result == 0 || result == ERROR_FILE_NOT_FOUND ? 0 : -1;
}
