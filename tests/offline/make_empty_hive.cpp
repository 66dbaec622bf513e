// Writes an empty registry hive file, which the tests fill through the hive
// library: make-empty-hive FILE [ROOTNAME]
#include <stdio.h>

#include "offline/empty_hive.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: make-empty-hive FILE [ROOTNAME]\n", stderr);
        return 2;
    }
    std::string bytes = EmptyHiveBytes(argc > 2 ? argv[2] : "ROOT");
    FILE* f = fopen(argv[1], "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
