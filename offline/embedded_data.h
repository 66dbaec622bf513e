// The data file a built Windows program carries: its RCDATA resource,
// read from the program's PE image without running it.
#pragma once
#include <stdint.h>

#include <string>

// Answers the bytes of the RCDATA resource of that id (its first
// language). False, with the reason, when the image is not a PE image whose
// resources can be read or holds no such resource; every offset is checked
// against the image.
bool FindEmbeddedData(const std::string& image, uint32_t id, std::string* data, std::string* problem);
