#include "tools/dat/file_io.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

static bool Failed(std::string* error, const char* what, const std::string& path, int code) {
    *error = std::string(what) + " '" + path + "': " + strerror(code);
    return false;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return Failed(error, "cannot open", path, errno);
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    // A directory opens on some systems and only fails here.
    bool failed = ferror(file) != 0;
    int code = errno;
    fclose(file);
    if (failed) return Failed(error, "cannot read", path, code ? code : EIO);
    return true;
}

bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const std::string temporary = path + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) return Failed(error, "cannot create", temporary, errno);
    bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int code = errno;
    // Buffered data may only fail to reach the disk when the file is closed.
    if (fclose(file) != 0 && written) {
        written = false;
        code = errno;
    }
    if (!written) {
        remove(temporary.c_str());
        return Failed(error, "cannot write", temporary, code ? code : EIO);
    }
    // Windows will not rename over an existing file; elsewhere the first
    // rename replaces it in one step.
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        remove(path.c_str());
        if (rename(temporary.c_str(), path.c_str()) != 0) {
            code = errno;
            remove(temporary.c_str());
            return Failed(error, "cannot replace", path, code);
        }
    }
    return true;
}
