// SetScannerState: one client per call, kept alive after a suspend.
#include "disk/scanner.h"

int SetScannerState(int resume) {
    return 0;
}
