// Whole files on the mounted tree: read without following a link, and
// replaced by writing a new file beside the old one and renaming it over,
// so that a run cut short leaves the old file or the new one, never half.
#pragma once
#include <stdint.h>

#include <string>

// Answers 0, or the Win32 error code the failure matches.
uint32_t ReadMountedFile(const std::string& path, std::string* bytes);
// Writes bytes as path. An existing file keeps its permission bits.
uint32_t ReplaceMountedFile(const std::string& path, const std::string& bytes);
// The Win32 error code that an errno value matches.
uint32_t Win32ErrorOf(int error);
// Writes all the bytes to fd. False with errno set when it cannot; a write
// that takes nothing is a full disk.
bool WriteAll(int fd, const std::string& bytes);
