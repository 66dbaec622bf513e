#include "disk/file_identity_win.h"

bool ReadFileIdentity(HANDLE handle, FileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(handle, &information) && IdentityOf(information, identity);
}

bool IdentityOf(const BY_HANDLE_FILE_INFORMATION& information, FileIdentity* identity) {
    identity->volume = information.dwVolumeSerialNumber;
    identity->indexHigh = information.nFileIndexHigh;
    identity->indexLow = information.nFileIndexLow;
    // Some file systems (redirectors to old servers among them) give every
    // file the index 0: that tells nothing apart.
    return identity->indexHigh != 0 || identity->indexLow != 0;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}
