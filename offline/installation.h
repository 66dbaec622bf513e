// The Windows installation on the mounted tree: its Windows folder, found
// from the tree; its hives and user profiles; and the folders its own
// registry names, as Windows paths a run on that machine would print.
#pragma once
#include <string>
#include <vector>

#include "disk/drives.h"

// A user profile's own folders (desktop, startup, temporary), as Windows
// paths; empty for one the installation does not have.
struct UserFolders {
    std::string folder[USER_FOLDER_COUNT];
};

struct Installation {
    std::string root;           // the mounted drive's folder on this system
    char letter;                // the drive's letter as Windows knew it
    std::string windowsFolder;  // "C:\WINDOWS", as the registry names it
    bool ntFamily;              // false: a 9x installation, whose hives are not read
    std::string systemFolder;
    std::string tempFolder;     // the system's own; each user's is in users
    std::string startupFolder;  // the shared ones, of every user
    std::string desktopFolder;
    std::vector<UserFolders> users;  // each user account's profile, in ProfileList's order
};

// Finds the Windows folder under the root (the folder holding
// System32\config\SOFTWARE, or a 9x one's SYSTEM.DAT). Answers false, with
// the reason in *problem, when there is none.
bool FindInstallation(const std::string& root, char letter, Installation* installation, std::string* problem);
// Opens the hives and profiles and learns the folders from them. Lines for
// the log of what could not be read go to report.
void LoadInstallation(Installation* installation, void (*report)(const std::string& line));
// Expands %variables% as Windows would on that installation; the profile
// folder stands for USERPROFILE when given. Unknown words are kept.
std::string ExpandInstallationText(const Installation& installation, const std::string& text,
                                   const std::string& profileFolder = "");
