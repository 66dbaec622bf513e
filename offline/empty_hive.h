// The bytes of an empty registry hive file: a base block with its checksum
// and one bin holding a root key with a security cell, the smallest file
// the hive library opens and lets keys be added to. The tests make their
// installations' hives from it.
#pragma once
#include <string>

std::string EmptyHiveBytes(const char* rootName);
