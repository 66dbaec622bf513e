// The starting data file that `mendrix-dat new` writes.
#pragma once
#include <string>

// The text of a data file for the threat `name`: the identity filled in and
// one commented example of each section, every one of them valid.
std::string StartingDataFile(const std::string& name);
