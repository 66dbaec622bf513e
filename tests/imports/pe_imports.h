// Reads what a Windows program asks the loader for: the DLL functions of its
// import and delay-import tables, and the versions in its PE headers.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

struct PeImport {
    std::string dll;
    std::string function;  // "#n" for an import by ordinal
    bool delayed;
};

struct PeImage {
    uint16_t machine;
    bool pe32Plus;
    uint16_t osMajor, osMinor;
    uint16_t subsystemMajor, subsystemMinor;
    std::vector<PeImport> imports;
};

// Answers false with *error set when the bytes are not a PE image whose
// tables can be read; every offset is checked against the image.
bool ReadPeImage(const std::vector<uint8_t>& bytes, PeImage* image, std::string* error);
