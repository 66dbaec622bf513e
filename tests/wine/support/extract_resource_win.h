// The stand-ins (libraries, programs, a driver) travel inside the test
// programs as RCDATA resources, since a test's Wine prefix cannot see the
// build tree.
#pragma once
#include <string>

// Writes the named RCDATA resource of the running program to path. Answers
// false when there is no such resource or the file cannot be written.
bool ExtractResourceFile(const char* resourceName, const std::string& path);
