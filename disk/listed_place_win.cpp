#include "disk/listed_place_win.h"

#include "disk/nt_file_information_win.h"

bool CanOpenListed() { return NtFileInformation() != nullptr; }

HANDLE OpenListed(const ListedPlace& place, DWORD access, DWORD share, ULONG options) {
    const NtFileInformationFunctions* nt = NtFileInformation();
    if (!nt || place.nameBytes > 0xFFFF) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    NtCountedName name = {static_cast<uint16_t>(place.nameBytes), static_cast<uint16_t>(place.nameBytes), place.name};
    // Letter case is ignored, as the 8-bit file functions ignore it.
    NtObjectAttributes attributes = {sizeof attributes, place.directory, &name, NT_OBJ_CASE_INSENSITIVE, nullptr,
                                     nullptr};
    IoStatusBlock io = {};
    HANDLE handle = INVALID_HANDLE_VALUE;
    LONG status = nt->createFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                                 FILE_ATTRIBUTE_NORMAL, share, NT_FILE_OPEN, options | NT_FILE_SYNCHRONOUS_IO_NONALERT,
                                 nullptr, 0);
    if (status >= 0) return handle;
    SetLastErrorOfStatus(status);
    return INVALID_HANDLE_VALUE;
}
