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
