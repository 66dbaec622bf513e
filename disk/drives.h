// What the directory list asks of the machine: the type of each drive and
// each user's own desktop, startup and temporary folders.
#pragma once

// The drive types as the system numbers them.
enum DriveKind {
    DRIVE_KIND_UNKNOWN = 0,
    DRIVE_KIND_NO_ROOT = 1,
    DRIVE_KIND_REMOVABLE = 2,
    DRIVE_KIND_FIXED = 3,
    DRIVE_KIND_REMOTE = 4,
    DRIVE_KIND_CDROM = 5,
    DRIVE_KIND_RAMDISK = 6,
};

// The type of the drive whose root ("A:\") is given.
int PlatformDriveType(const char* root);

enum UserFolder { USER_DESKTOP, USER_STARTUP, USER_TEMP, USER_FOLDER_COUNT };

// Copies the folder of the run's user-th user, with its terminator, into
// out, which holds size bytes. False when the folder cannot be had or does
// not fit. The running program has one user, the account it runs under
// (user 0); an installation cleaned from outside has one per profile. The
// running user's temporary folder is the temp folder macro itself, so the
// running program names no further one.
bool PlatformUserFolder(UserFolder which, unsigned user, char* out, unsigned size);

// Native builds only: what the stand-ins answer, by drive letter A to Z and
// by folder of the one user (null: cannot be had), and the values they
// start with.
extern int g_standInDriveTypes[26];
extern const char* g_standInUserFolders[USER_FOLDER_COUNT];
extern const char* const kStandInUserDefaults[USER_FOLDER_COUNT];
