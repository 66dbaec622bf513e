#include "disk/directory_reader_win.h"

#include <stdlib.h>
#include <string.h>

#include "disk/nt_file_information_win.h"

uint32_t g_directoriesReadThroughNtdll = 0;
uint32_t g_directoriesReadWithFind = 0;

namespace {

// Fills the buffer with the next part of the listing. Answers the status;
// a failure or an empty read ends the listing.
LONG ReadListing(DirectoryReader* reader) {
    IoStatusBlock io = {};
    LONG status = NtListing()->queryDirectoryFile(reader->handle, nullptr, nullptr, nullptr, &io, reader->buffer,
                                                  LISTING_BUFFER_SIZE, NT_FILE_DIRECTORY_INFORMATION, FALSE, nullptr,
                                                  FALSE);
    reader->position = 0;
    reader->filled = status >= 0 && io.information <= LISTING_BUFFER_SIZE ? static_cast<uint32_t>(io.information) : 0;
    if (reader->filled == 0) reader->lastRead = true;
    return status;
}

const ULONG NOT_ASCII = 0xFFFFFFFFu;

// Most names are plain ASCII, which every ANSI and OEM code page keeps as
// it is: those are copied without a call into ntdll. Answers the length, or
// NOT_ASCII (out is then spoilt) for a name that needs the code page.
ULONG NarrowAscii(const uint16_t* name, uint32_t count, char* out) {
    if (count > MAX_PATH) return NOT_ASCII;
    for (uint32_t i = 0; i < count; ++i) {
        if (name[i] >= 0x80) return NOT_ASCII;
        out[i] = static_cast<char>(name[i]);
    }
    return count;
}

// With the separator the path names the directory as "\*" does in a
// search: a drive's root for "C:", and no trailing dot or space trimmed.
// Shared every way, so that no other program is kept from the directory or
// its files while it is read.
HANDLE OpenDirectoryHandle(char* path, size_t length, DWORD access) {
    memcpy(path + length, "\\", 2);
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A directory where it was listed, itself where it is a junction or link
// (2000 and later; NT 4, which has none, may refuse to be asked).
HANDLE OpenListedDirectory(const ListedPlace& place) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const ULONG options = NT_FILE_DIRECTORY_FILE | NT_FILE_OPEN_FOR_BACKUP_INTENT;
    HANDLE directory = OpenListed(place, FILE_LIST_DIRECTORY, share, options | NT_FILE_OPEN_REPARSE_POINT);
    if (directory == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        directory = OpenListed(place, FILE_LIST_DIRECTORY, share, options);
    return directory;
}

// Whether the directory's path still leads to the directory opened where
// it was listed. A path the 8-bit functions cannot open (a name outside the
// code page, a trailing dot) is not read, as it would not be by path.
bool PathNamesIt(DirectoryReader* reader, char* path, size_t length) {
    HANDLE byPath = OpenDirectoryHandle(path, length, 0);
    if (byPath == INVALID_HANDLE_VALUE) return false;
    FileIdentity identity;
    reader->leadsElsewhere =
        reader->identified && ReadFileIdentity(byPath, &identity) && !SameFile(identity, reader->identity);
    CloseHandle(byPath);
    return !reader->leadsElsewhere;
}

// The directory is open; its listing goes into the level's buffer.
bool ListThroughNtdll(DirectoryReader* reader, HANDLE directory, ListingLevel* level) {
    if (!level->buffer) level->buffer = static_cast<unsigned char*>(malloc(LISTING_BUFFER_SIZE));
    if (!level->buffer) return false;
    reader->handle = directory;
    reader->buffer = level->buffer;
    reader->lastRead = false;
    const NtListingFunctions* nt = NtListing();
    reader->narrow = nt->areFileApisAnsi() ? nt->unicodeToAnsi : nt->unicodeToOem;
    LONG status = ReadListing(reader);
    if (status < 0 && static_cast<uint32_t>(status) != NT_STATUS_NO_MORE_FILES &&
        static_cast<uint32_t>(status) != NT_STATUS_NO_SUCH_FILE)
        return false;
    reader->throughNtdll = true;
    ++g_directoriesReadThroughNtdll;
    return true;
}

bool NextFromNtdll(DirectoryReader* reader, DirectoryEntry* entry) {
    if (reader->position >= reader->filled) {
        if (reader->lastRead) return false;
        ReadListing(reader);
        if (reader->filled == 0) return false;
    }
    const uint32_t header = offsetof(NtDirectoryEntry, fileName);
    const uint32_t rest = reader->filled - reader->position;
    const NtDirectoryEntry* found = reinterpret_cast<const NtDirectoryEntry*>(reader->buffer + reader->position);
    if (rest < header || rest - header < found->fileNameLength) {
        reader->lastRead = true;  // a listing that overruns its own length is not trusted further
        return false;
    }
    const uint32_t next = found->nextEntryOffset;
    reader->position = next && next < rest ? reader->position + next : reader->filled;

    ULONG written = NarrowAscii(found->fileName, found->fileNameLength / 2, reader->name);
    if (written == NOT_ASCII) reader->narrow(reader->name, MAX_PATH, &written, found->fileName, found->fileNameLength);
    if (written > MAX_PATH) written = MAX_PATH;
    reader->name[written] = 0;
    entry->name = reader->name;
    entry->length = written;
    entry->attributes = found->fileAttributes;
    entry->sizeLow = static_cast<uint32_t>(found->endOfFile);
    entry->place = ListedPlace{reader->handle, found->fileName, found->fileNameLength};
    return true;
}

bool NextFromFind(DirectoryReader* reader, DirectoryEntry* entry) {
    if (!reader->pending && !FindNextFileA(reader->handle, &reader->found)) return false;
    reader->pending = false;
    const char* name = reader->found.cFileName;
    size_t length = strnlen(name, sizeof reader->found.cFileName);
    if (length == sizeof reader->found.cFileName) {
        // A name cut to fill the whole record has no terminator.
        memcpy(reader->name, name, length);
        reader->name[length] = 0;
        name = reader->name;
    }
    entry->name = name;
    entry->length = length;
    entry->attributes = reader->found.dwFileAttributes;
    entry->sizeLow = reader->found.nFileSizeLow;
    entry->place = ListedPlace{nullptr, nullptr, 0};
    return true;
}

}  // namespace

ListingLevel* DeeperLevel(ListingLevel* level) {
    if (!level) return nullptr;
    if (!level->deeper) level->deeper = static_cast<ListingLevel*>(calloc(1, sizeof(ListingLevel)));
    return level->deeper;
}

void FreeListingLevels(ListingLevel* top) {
    ListingLevel* level = top->deeper;
    while (level) {
        ListingLevel* next = level->deeper;
        free(level->buffer);
        free(level);
        level = next;
    }
    free(top->buffer);
    top->buffer = nullptr;
    top->deeper = nullptr;
}

bool OpenDirectory(DirectoryReader* reader, char* path, size_t length, ListingLevel* level,
                   const ListedPlace* place) {
    reader->throughNtdll = false;
    reader->pending = false;
    reader->identified = false;
    reader->isLink = false;
    reader->leadsElsewhere = false;
    if (place && place->directory) {
        HANDLE directory = OpenListedDirectory(*place);
        if (directory == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileInformationByHandle(directory, &information)) {
            reader->identified = IdentityOf(information, &reader->identity);
            reader->isLink = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        }
        bool readable = !reader->isLink && PathNamesIt(reader, path, length);
        if (readable && level && ListThroughNtdll(reader, directory, level)) return true;
        CloseHandle(directory);
        // Short of memory for the listing, the directory is searched by path.
        if (!readable) return false;
    } else if (NtListing()) {
        // Opened even where the listing itself cannot go through ntdll, so
        // that the walk knows which directory it is in.
        HANDLE directory = OpenDirectoryHandle(path, length, FILE_LIST_DIRECTORY);
        if (directory != INVALID_HANDLE_VALUE) {
            reader->identified = ReadFileIdentity(directory, &reader->identity);
            if (level && ListThroughNtdll(reader, directory, level)) return true;
            CloseHandle(directory);
        }
    }
    memcpy(path + length, "\\*", 3);
    reader->handle = FindFirstFileA(path, &reader->found);
    if (reader->handle == INVALID_HANDLE_VALUE) return false;
    reader->pending = true;
    ++g_directoriesReadWithFind;
    return true;
}

bool NextDirectoryEntry(DirectoryReader* reader, DirectoryEntry* entry) {
    return reader->throughNtdll ? NextFromNtdll(reader, entry) : NextFromFind(reader, entry);
}

void CloseDirectory(DirectoryReader* reader) {
    if (reader->throughNtdll)
        CloseHandle(reader->handle);
    else
        FindClose(reader->handle);
}
