// Short (8.3) names on the mounted installation. Windows accepts a file's
// short name wherever it accepts the long one (C:\PROGRA~1\...), and the
// registry values a data file reads are often written that way; a Linux
// mount lists long names only. A short name is taken from the mount's own
// record where it keeps one, else derived from the long names as Windows
// forms them, and then only where no other entry could bear it.
#pragma once
#include <string>

// True when the ANSI component has the form of a generated short name: a
// basis of at most 8 characters ending in '~' and a number, and at most one
// dot followed by at most 3 characters.
bool LooksLikeShortName(const std::string& component);
// True when the ANSI long name is itself a valid 8.3 name: Windows gives it
// no other short name.
bool FitsShortName(const std::string& ansi);
// The short name Windows would give the ANSI long name with the number n:
// upper case, blanks and all dots but the last dropped, characters a short
// name cannot hold made '_', the basis cut to 6 characters, then "~n" and
// the extension cut to 3. Empty when the long name fits 8.3 or leaves no
// basis.
std::string DerivedShortName(const std::string& ansi, int n);

// Reads the short name the mount records for the entry at posixPath (a link
// is not followed), as the mount spells it. Answers false when it shows
// none. ntfs-3g shows it as an extended attribute; the kernel's ntfs3 driver
// does not show it at all.
typedef bool (*DosNameReader)(const std::string& posixPath, std::string* dosName);
bool ReadMountDosName(const std::string& posixPath, std::string* dosName);
// Stands another reader in for ReadMountDosName; null puts it back.
void SetDosNameReader(DosNameReader reader);

// The entry of folder that bears the ANSI component as its short name.
// Where any entry of the folder shows a recorded short name, the record
// alone decides; else the component must be the ~1 name derived from
// exactly one entry's long name, since the mount does not show the order of
// creation by which Windows numbers names that collide. Answers false when
// none, or more than one, could bear it.
bool FindEntryByShortName(const std::string& folder, const std::string& component, std::string* entry);
