// check-imports ALLOWLIST PROGRAM.exe...
// Fails when a program imports (directly or delay-loaded) a function that is
// not on the allowlist, or when its PE headers do not name Windows 4.0 as
// the oldest system and subsystem: the Windows 95 and NT 4 loaders refuse
// such a program before any of its code runs.
#include <ctype.h>
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/imports/pe_imports.h"

static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// "dll function" keys of the list; comments start with '#'.
static bool ReadAllowlist(const char* path, std::set<std::string>* allowed) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string dll, function;
        if (!(words >> dll >> function) || dll[0] == '#') continue;
        allowed->insert(Lower(dll) + " " + function);
    }
    return true;
}

static int CheckProgram(const char* path, const std::set<std::string>& allowed) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "%s: cannot be read\n", path);
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PeImage image;
    std::string error;
    if (!ReadPeImage(bytes, &image, &error)) {
        fprintf(stderr, "%s: %s\n", path, error.c_str());
        return 1;
    }
    int faults = 0;
    if (image.machine != 0x14C) {
        printf("%s: not a 32-bit x86 program (machine 0x%x)\n", path, image.machine);
        ++faults;
    }
    if (image.osMajor != 4 || image.osMinor != 0 || image.subsystemMajor != 4 || image.subsystemMinor != 0) {
        printf("%s: headers name OS %u.%u and subsystem %u.%u, not 4.0\n", path, image.osMajor, image.osMinor,
               image.subsystemMajor, image.subsystemMinor);
        ++faults;
    }
    for (const PeImport& import : image.imports) {
        if (allowed.count(Lower(import.dll) + " " + import.function)) continue;
        printf("%s: imports %s %s%s, which is not on the list of functions every target system exports\n", path,
               import.dll.c_str(), import.function.c_str(), import.delayed ? " (delay-loaded)" : "");
        ++faults;
    }
    printf("%s: %zu imports, %d fault%s\n", path, image.imports.size(), faults, faults == 1 ? "" : "s");
    return faults ? 1 : 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: check-imports ALLOWLIST PROGRAM.exe...\n");
        return 2;
    }
    std::set<std::string> allowed;
    if (!ReadAllowlist(argv[1], &allowed)) {
        fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 2;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) status |= CheckProgram(argv[i], allowed);
    return status;
}
