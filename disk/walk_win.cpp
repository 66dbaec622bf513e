#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "disk/directory_reader_win.h"
#include "disk/file_check_win.h"
#include "disk/walk.h"
#include "report/message.h"
#include "report/run_report.h"

namespace {

// The entry being walked was given with subfolders="no": its subfolders
// are passed over.
bool g_walkTopOnly = false;

bool IsDotEntry(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

// One directory on the path the walk has taken, the deepest first: a
// directory met again below itself would lead the walk round for ever.
struct Ancestor {
    FileIdentity identity;
    const Ancestor* above;
};

// A junction or symbolic link leads wherever its maker chose, above this
// folder or into the system's.
void ReportLink(const char* path) {
    ReportMessage(MSG_VERBOSE | MSG_INFO, "Folder %s not entered: it is a link\r\n", path);
}

bool AlreadyAbove(const FileIdentity& identity, const Ancestor* above) {
    for (; above; above = above->above)
        if (SameFile(identity, above->identity)) return true;
    return false;
}

// path holds the directory in its first length characters and has room for
// WALK_PATH_SIZE bytes; every level below writes its entries after it.
// above is the chain of directories the walk is in, null at the top; place
// is where the directory was listed, null at the top.
void Walk(char* path, size_t length, FileRecord* files, unsigned char* scratch, ListingLevel* level,
          const Ancestor* above, const ListedPlace* place) {
    DirectoryReader reader;
    if (!OpenDirectory(&reader, path, length, level, place)) {
        path[length] = 0;
        if (reader.isLink) ReportLink(path);
        if (reader.leadsElsewhere)
            ReportMessage(MSG_VERBOSE | MSG_INFO, "Folder %s not entered: its path now leads to another folder\r\n",
                          path);
        return;
    }
    // Only the NT family tells which directory this is; the 9x family has no
    // links, and no other way to make a loop.
    Ancestor here = {reader.identity, above};
    if (reader.identified && AlreadyAbove(reader.identity, above)) {
        path[length] = 0;
        ReportMessage(MSG_VERBOSE | MSG_INFO, "Folder %s not entered: it leads back to a folder above it\r\n", path);
        CloseDirectory(&reader);
        return;
    }
    DirectoryEntry entry;
    while (NextDirectoryEntry(&reader, &entry)) {
        const char* name = entry.name;
        bool directory = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory && IsDotEntry(name)) continue;
        if (directory && g_walkTopOnly) continue;
        if (length + entry.length >= WALK_PATH_LIMIT) {
            char* whole = FormatText("%.*s\\%s", static_cast<int>(length), path, name);
            RecordNotExamined(ITEM_FILE, whole ? whole : name, "its path is too long to be opened", 0);
            free(whole);
            ReportMessage(MSG_WARNING, "\r\nCould not scan %s\n\r", name);
            continue;
        }
        path[length] = '\\';
        memcpy(path + length + 1, name, entry.length);
        path[length + 1 + entry.length] = 0;
        const ListedPlace* at = entry.place.directory ? &entry.place : nullptr;
        if (!directory)
            CheckListedFile(path, at, files, entry.sizeLow, scratch);
        else if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            ReportLink(path);
        else
            Walk(path, length + 1 + entry.length, files, scratch, DeeperLevel(level), reader.identified ? &here : above,
                 at);
    }
    CloseDirectory(&reader);
}

// One directory tree, with the listing buffers of its levels.
void WalkTree(char* path, size_t length, FileRecord* files, unsigned char* scratch) {
    ListingLevel top = {};
    Walk(path, length, files, scratch, &top, nullptr, nullptr);
    FreeListingLevels(&top);
}

// One entry of the directory list: a file checked alone, or a directory
// walked when it holds anything.
void ScanEntry(const char* entry, bool topOnly, FileRecord* files, unsigned char* scratch) {
    size_t length = strlen(entry);
    if (length > 0 && (entry[length - 1] == '\\' || entry[length - 1] == '/')) --length;
    // A store value can make an entry longer than any path the system takes.
    if (length > WALK_PATH_LIMIT) return;
    char path[WALK_PATH_SIZE];
    memcpy(path, entry, length);
    path[length] = 0;

    HANDLE file = OpenForReading(path);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD size = GetFileSize(file, nullptr);
        CloseHandle(file);
        CheckFile(path, files, size, scratch);
        return;
    }
    memcpy(path + length, "\\*", 3);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    path[length] = 0;
    ReportMessage(MSG_INFO, "\r\nScanning %s\r\n\r\n", path);
    ReportMessage(MSG_STATUS, "%s\r\n", path);
    g_walkTopOnly = topOnly;
    WalkTree(path, length, files, scratch);
    g_walkTopOnly = false;
}

}  // namespace

void WalkDirectory(const char* directory, FileRecord* files, unsigned char* scratch) {
    size_t length = strlen(directory);
    if (length > WALK_PATH_LIMIT) return;
    char path[WALK_PATH_SIZE];
    memcpy(path, directory, length + 1);
    WalkTree(path, length, files, scratch);
}

void ScanDirectories(ParseContext* context, FileRecord* files) { ScanDirectoryList(context, files, "C:", ScanEntry); }
