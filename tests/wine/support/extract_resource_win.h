// The stand-ins (libraries, programs, a driver) travel inside the test
// programs as RCDATA resources, since a test's Wine prefix cannot see the
// build tree.
#pragma once
#include <string>

// Writes the named RCDATA resource of the running program to path. Answers
// false when there is no such resource or the file cannot be written.
bool ExtractResourceFile(const char* resourceName, const std::string& path);

// Installs the named RCDATA resource as a library of the system folder
// (GetSystemDirectoryA of this program, which has the bitness of the programs
// under test), where they load system libraries from. Wine's own file of that
// name is unlinked first, never written through: a test prefix shares it
// with the template as a hard link. Answers the library's path, or "".
std::string InstallSystemLibrary(const char* resourceName, const char* fileName);
