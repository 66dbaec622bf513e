// Symbolic links made on the host's side of a Wine prefix. Wine has no
// junctions of its own; it follows a Unix symbolic link to a folder as if
// the folder stood there, without calling it a reparse point. These stand
// for the junctions a user of a Windows machine can make in a folder he may
// write to.
#pragma once
#include <string>

// Makes link (a Windows path whose folder exists) a symbolic link whose text
// is target: a Unix path relative to the link's folder ("." for the folder
// itself, "../other"). Waits until the link leads somewhere. The host's ln
// is run through Wine's \\?\unix\ names, which reach the host even where the
// prefix has no drive for its root.
bool MakeUnixLink(const std::string& target, const std::string& link);

// The host's path of an existing Windows path, or "" outside Wine.
std::string UnixPathOf(const std::string& path);

// Runs a shell command on the host and waits until it has run (Wine does not
// wait for a host program through its handle: a marker file tells).
bool RunOnHost(const std::string& command);

// Gives the host file or folder at path to the host's nobody user: Wine
// then reports another account (ANONYMOUS LOGON, S-1-5-7) as its owner, as
// a file a limited user made shows on Windows.
bool GiveToAnotherUnixUser(const std::string& path);
// Lets every host user write to the folder: Wine then grants Everyone write
// access to it.
bool LetEveryoneWrite(const std::string& path);
