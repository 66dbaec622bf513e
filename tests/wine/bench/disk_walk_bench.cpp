// Benchmark, not a test: the DISK walk with name-only FILE records against a
// bare FindFirstFileA/FindNextFileA walk and a bare NtQueryDirectoryFile walk
// of the same tree of 100,000 files, and how many files the walk opened for
// a pattern check.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "disk/directory_list.h"
#include "disk/directory_reader_win.h"
#include "disk/ntdll_listing_win.h"
#include "disk/file_record.h"
#include "disk/walk.h"
#include "report/message.h"
#include "script/parse_context.h"
#include "script/pattern_record.h"

namespace {

const char kRoot[] = "C:\\mendrix\\bench";
const char kTree[] = "C:\\mendrix\\bench\\tree";
const int kFolders = 100;
const int kFilesPerFolder = 1000;
const int kRounds = 7;
// Files named like the pattern record's: some of the right size, which are
// opened, and some of another size, which are not.
const int kTargetsOfSize = 10;
const int kTargetsOtherSize = 5;
const char kMarker[] = "TARGET-MARKER";

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Processor time of this process, in seconds: less swayed than the clock by
// other work on a busy machine, though it leaves out the Wine server's part.
double ProcessorTime() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

bool WriteFileBytes(const char* path, const char* bytes, DWORD count) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes, count, &written, nullptr);
    CloseHandle(file);
    return written == count;
}

void BareWalk(char* path, size_t length, long* files);

// Answers the number of files made, or -1. A whole tree left by an earlier
// run in the same prefix is used again.
int BuildTree() {
    CreateDirectoryA(kRoot, nullptr);
    if (!CreateDirectoryA(kTree, nullptr)) {
        char path[WALK_PATH_SIZE];
        strcpy(path, kTree);
        long files = 0;
        BareWalk(path, strlen(path), &files);
        return files == kFolders * kFilesPerFolder + kTargetsOfSize + kTargetsOtherSize ? static_cast<int>(files) : -1;
    }
    char path[MAX_PATH];
    char content[64];
    memset(content, 'x', sizeof content);
    memcpy(content, kMarker, sizeof kMarker - 1);
    int made = 0;
    for (int d = 0; d < kFolders; ++d) {
        snprintf(path, sizeof path, "%s\\d%03d", kTree, d);
        if (!CreateDirectoryA(path, nullptr)) return -1;
        for (int f = 0; f < kFilesPerFolder; ++f) {
            snprintf(path, sizeof path, "%s\\d%03d\\f%04d.dat", kTree, d, f);
            if (!WriteFileBytes(path, content, 16)) return -1;
            ++made;
        }
        if (d < kTargetsOfSize + kTargetsOtherSize) {
            snprintf(path, sizeof path, "%s\\d%03d\\target.bin", kTree, d);
            if (!WriteFileBytes(path, content, d < kTargetsOfSize ? 64 : 32)) return -1;
            ++made;
        }
    }
    return made;
}

// The reference: the same recursion with nothing done per file but counting.
void BareWalk(char* path, size_t length, long* files) {
    memcpy(path + length, "\\*", 3);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
            size_t n = strlen(name);
            path[length] = '\\';
            memcpy(path + length + 1, name, n + 1);
            BareWalk(path, length + 1 + n, files);
        } else {
            ++*files;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The limit: each directory read through ntdll into a 64 KB buffer, by wide
// paths, with nothing converted and nothing done per file but counting.
void BareNtWalk(const std::wstring& path, unsigned char* buffer, long* files) {
    HANDLE directory = CreateFileW((path + L"\\").c_str(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> below;
    for (;;) {
        IoStatusBlock io = {};
        LONG status = NtListing()->queryDirectoryFile(directory, nullptr, nullptr, nullptr, &io, buffer,
                                                      LISTING_BUFFER_SIZE, NT_FILE_DIRECTORY_INFORMATION, FALSE,
                                                      nullptr, FALSE);
        if (status < 0 || io.information == 0) break;
        for (size_t at = 0;;) {
            const NtDirectoryEntry* e = reinterpret_cast<const NtDirectoryEntry*>(buffer + at);
            const wchar_t* name = reinterpret_cast<const wchar_t*>(e->fileName);
            size_t length = e->fileNameLength / 2;
            if (e->fileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                bool dot = name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'));
                if (!dot) below.push_back(path + L"\\" + std::wstring(name, length));
            } else {
                ++*files;
            }
            if (!e->nextEntryOffset) break;
            at += e->nextEntryOffset;
        }
    }
    CloseHandle(directory);
    // Depth first as the others, one buffer reused: each directory here is
    // read whole before the next one is opened.
    for (const std::wstring& sub : below) BareNtWalk(sub, buffer, files);
}

char* Copy(const char* text) {
    char* copy = static_cast<char*>(malloc(strlen(text) + 1));
    strcpy(copy, text);
    return copy;
}

// What a script of three FILE elements would build: one by name, size and
// pattern, one by extensions, one by name; none of them fits a .dat file.
FileRecord* MakeRecords() {
    FileRecord* byPattern = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    byPattern->fileName = Copy("target.bin");
    byPattern->size = 64;
    byPattern->patterns = NewPatternRecord();
    memcpy(byPattern->patterns->bytes, kMarker, sizeof kMarker - 1);
    byPattern->patterns->count = sizeof kMarker - 1;

    FileRecord* byExtension = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    strcpy(byExtension->extensions[0], ".exe");
    strcpy(byExtension->extensions[1], ".scr");
    strcpy(byExtension->extensions[2], ".com");
    byExtension->next = byPattern;

    FileRecord* byName = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    byName->fileName = Copy("evil.dll");
    byName->next = byExtension;
    return byName;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    g_report.sinks = nullptr;
    g_report.mainWindow = nullptr;

    double start = Now();
    int made = BuildTree();
    if (made < 0) {
        fprintf(stderr, "could not build the tree under %s (it must not exist yet, or be whole)\n", kTree);
        return 1;
    }
    printf("tree: %d files in %d folders, built in %.1f s\n", made, kFolders, Now() - start);

    FileRecord* records = MakeRecords();
    ClearDirectoryList();
    g_directories[0] = Copy(kTree);
    g_directoryCount = 1;
    ParseContext context = {};

    char path[WALK_PATH_SIZE];
    long bareFiles = 0;
    strcpy(path, kTree);
    BareWalk(path, strlen(path), &bareFiles);  // warms the caches for all three

    if (!NtListing()) {
        fprintf(stderr, "ntdll lists no directories here: the NT family is needed\n");
        return 1;
    }
    unsigned char* buffer = static_cast<unsigned char*>(malloc(LISTING_BUFFER_SIZE));
    const std::wstring wideTree(kTree, kTree + strlen(kTree));
    long ntFiles = 0;
    BareNtWalk(wideTree, buffer, &ntFiles);

    enum { BARE, NT, DISK, WALKS };
    std::vector<double> clock[WALKS], processor[WALKS], toBare, toNt;
    uint32_t openedBefore = g_filesOpenedForPatterns;
    uint32_t throughNtdll = g_directoriesReadThroughNtdll, withFind = g_directoriesReadWithFind;
    // Each round runs the three walks in another order, so that none always
    // follows the same one.
    for (int round = 0; round < kRounds; ++round) {
        for (int turn = 0; turn < WALKS; ++turn) {
            int which = (round + turn) % WALKS;
            long files = 0;
            double t0 = Now(), p0 = ProcessorTime();
            if (which == BARE) {
                strcpy(path, kTree);
                BareWalk(path, strlen(path), &files);
            } else if (which == NT) {
                BareNtWalk(wideTree, buffer, &files);
            } else {
                ScanDirectories(&context, records);
            }
            clock[which].push_back(Now() - t0);
            processor[which].push_back(ProcessorTime() - p0);
        }
        // Compared within the round too: a machine busy with other work
        // slows the walks of one round alike.
        toBare.push_back(clock[DISK].back() / clock[BARE].back());
        toNt.push_back(clock[DISK].back() / clock[NT].back());
    }
    uint32_t opened = (g_filesOpenedForPatterns - openedBefore) / kRounds;
    free(buffer);

    double median[WALKS], best[WALKS], cpu[WALKS];
    for (int w = 0; w < WALKS; ++w) {
        median[w] = Median(clock[w]);
        best[w] = *std::min_element(clock[w].begin(), clock[w].end());
        // The processor time comes in coarse steps: its mean over the rounds.
        cpu[w] = 0;
        for (double t : processor[w]) cpu[w] += t / kRounds;
    }
    printf("%d rounds; times are the median and the best of the clock, and the mean processor time\n", kRounds);
    printf("bare FindFirstFileA/FindNextFileA walk: %ld files, %.3f s, best %.3f s, processor %.3f s\n", bareFiles,
           median[BARE], best[BARE], cpu[BARE]);
    printf("bare NtQueryDirectoryFile walk:         %ld files, %.3f s, best %.3f s, processor %.3f s\n", ntFiles,
           median[NT], best[NT], cpu[NT]);
    printf("DISK walk, 3 FILE records:                           %.3f s, best %.3f s, processor %.3f s\n",
           median[DISK], best[DISK], cpu[DISK]);
    printf("  folders read per walk: %u through ntdll, %u with FindFirstFileA\n",
           (g_directoriesReadThroughNtdll - throughNtdll) / kRounds, (g_directoriesReadWithFind - withFind) / kRounds);
    printf("ratio DISK walk / bare FindFirstFileA:       %.3f (best %.3f, within rounds %.3f, processor %.3f); "
           "target 0.95 or less\n",
           median[DISK] / median[BARE], best[DISK] / best[BARE], Median(toBare), cpu[DISK] / cpu[BARE]);
    printf("ratio DISK walk / bare NtQueryDirectoryFile: %.3f (best %.3f, within rounds %.3f, processor %.3f); "
           "target 1.05 or less\n",
           median[DISK] / median[NT], best[DISK] / best[NT], Median(toNt), cpu[DISK] / cpu[NT]);
    printf("files opened for a pattern check per walk: %u (files past name and size: %d; of those names: %d)\n",
           opened, kTargetsOfSize, kTargetsOfSize + kTargetsOtherSize);

    FreeFileList(records);
    ClearDirectoryList();
    return 0;
}
