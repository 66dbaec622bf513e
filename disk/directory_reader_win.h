// The entries of one directory, in the order the file system yields them,
// each as FindFirstFileA/FindNextFileA present it. On the NT family the
// directory is read through ntdll, many entries a call into a buffer of the
// walk's; where that is missing or fails, with FindFirstFileA.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "disk/file_identity_win.h"
#include "disk/listed_place_win.h"
#include "disk/ntdll_listing_win.h"

// One buffer for each depth of a walk: a directory's listing stays in its
// level's buffer while the directories below it are read.
struct ListingLevel {
    unsigned char* buffer;  // allocated when first needed
    ListingLevel* deeper;
};
enum { LISTING_BUFFER_SIZE = 64 * 1024 };

// The level below, made when first needed; null when memory ran out (the
// directories there are then read with FindFirstFileA).
ListingLevel* DeeperLevel(ListingLevel* level);
// Frees every buffer of the chain and every level below top (top itself is
// the caller's) and leaves top empty.
void FreeListingLevels(ListingLevel* top);

struct DirectoryEntry {
    const char* name;  // 8-bit, terminated
    size_t length;     // at most MAX_PATH: a longer name is cut as a find record cuts it
    uint32_t attributes;
    uint32_t sizeLow;
    // Through ntdll, where the entry can be opened again: the directory
    // (held by the reader) and the name as listed. Null otherwise.
    ListedPlace place;
};

struct DirectoryReader {
    bool throughNtdll;
    HANDLE handle;  // the directory, or the search
    // The directory's own identity, read from its handle on the NT family;
    // the 9x family has no handles to directories.
    bool identified;
    FileIdentity identity;
    // Opened where it was listed, it turned out to be a junction or link
    // put there since, or its path now leads to another directory (a link
    // put in place of a folder above it): it is not read.
    bool isLink;
    bool leadsElsewhere;
    // ntdll: the listing in the level's buffer
    unsigned char* buffer;
    uint32_t position;
    uint32_t filled;
    bool lastRead;  // the listing ended with the data in the buffer
    NtUnicodeTo8BitFunction narrow;  // to the code page of the 8-bit file functions
    char name[MAX_PATH + 1];
    // FindFirstFileA: the entry the search gave last, not yet handed out
    bool pending;
    WIN32_FIND_DATAA found;
};

// Opens the directory whose path fills the first length characters of
// path; path must have room for three more bytes, which are overwritten.
// level may be null. place, where not null, is where the directory was
// listed: it is opened there, and read only while its path still names it
// (so that the walk reads what it would read by path, and the paths it
// reports are the files'). Answers false when the directory cannot be read,
// is a link (isLink set) or is no longer where its path leads
// (leadsElsewhere set).
bool OpenDirectory(DirectoryReader* reader, char* path, size_t length, ListingLevel* level,
                   const ListedPlace* place = nullptr);
// The next entry, valid until the next call; false when there are no more.
bool NextDirectoryEntry(DirectoryReader* reader, DirectoryEntry* entry);
void CloseDirectory(DirectoryReader* reader);

// Directories read either way since the program started, for the tests
// and the benchmark.
extern uint32_t g_directoriesReadThroughNtdll;
extern uint32_t g_directoriesReadWithFind;
