// Windows paths of the installation on the tree it is mounted at: each
// drive letter names a folder of this system, and each component of a path
// is matched against its folder's entries without regard to letter case, as
// Windows would match it. Links on the mounted tree are never followed: one
// a limited user planted could otherwise lead the run out of the
// installation, into the rescue system's own files.
#pragma once
#include <string>
#include <vector>

enum MountedPathStatus {
    MOUNTED_FOUND,      // every component is there
    MOUNTED_MISSING,    // the folder is there, the last component is not
    MOUNTED_NO_FOLDER,  // a folder on the way is not there
    MOUNTED_LINK,       // a component on the way is a link
    MOUNTED_NO_DRIVE,   // not a drive path, or a drive that is not mounted
    MOUNTED_BAD_NAME,   // a component no name on the mount can spell
};

struct DriveMount {
    char letter;  // upper case
    std::string folder;
    DriveMount* next;
};

// The drives of the run; the first one added is the installation's own.
void AddDriveMount(char letter, const std::string& folder);
void ClearDriveMounts();
const DriveMount* DriveMounts();

// Splits a Windows path into its drive letter and components, as Win32
// reads it: '\' and '/' both separate, "." is dropped and ".." goes up, and
// trailing dots and blanks of a component are not part of its name.
// Answers false for a path without a drive letter (relative, UNC).
bool SplitWindowsPath(const char* path, char* letter, std::vector<std::string>* components);

// Resolves the path to a path of this system. A component no entry bears as
// its long name may name one by its short name (mounted_tree_short.h). With MOUNTED_MISSING, *posix
// is the path the last component would have when made.
MountedPathStatus ResolveMountedPath(const char* windowsPath, std::string* posix);
