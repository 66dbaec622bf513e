// How the walk reads directories: on the NT family through ntdll, giving
// exactly what FindFirstFileA/FindNextFileA give on the same tree (names in
// the 8-bit code page, attributes, sizes, order); on the 9x family with
// FindFirstFileA itself. The tree holds the cases where the two could part:
// long names, names at the path limit, names outside the code page, hidden,
// system and read-only entries, empty folders and folders that cannot be
// opened.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

#include "disk/directory_list.h"
#include "disk/directory_reader_win.h"
#include "disk/file_record.h"
#include "disk/walk.h"
#include "report/message.h"
#include "script/parse_context.h"
#include "support/wine_support.h"

namespace {

using Strings = std::vector<std::string>;

// ------------------------------------------------------------ the tree

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool MakeWideFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool MakeWideFile(const std::wstring& path, DWORD size, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "CreateFileW: error " << GetLastError();
        return false;
    }
    std::string bytes(size, 'x');
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), size, &written, nullptr);
    CloseHandle(file);
    if (!ok || written != size) ADD_FAILURE() << "WriteFile: error " << GetLastError();
    if (!SetFileAttributesW((L"\\\\?\\" + path).c_str(), attributes))
        ADD_FAILURE() << "SetFileAttributesW: error " << GetLastError();
    return ok && written == size;
}

// A file of 4 GiB and 5 bytes, sparse where the file system allows it: its
// size's low 32 bits are 5.
bool MakeHugeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LONG high = 1;
    BOOL ok = SetFilePointer(file, 5, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// Builds the tree under root; answers the folder kept locked by the caller.
void BuildTree(const std::string& root, std::string* lockedFolder) {
    const std::wstring w = Wide(root);
    ASSERT_TRUE(MakeWideFile(w + L"\\plain.txt", 3));
    ASSERT_TRUE(MakeWideFile(w + L"\\zero.bin", 0));
    ASSERT_TRUE(MakeWideFile(w + L"\\page.bin", 4096));
    ASSERT_TRUE(MakeHugeFile(root + "\\huge.bin"));
    ASSERT_TRUE(MakeWideFile(w + L"\\" + std::wstring(180, L'L') + L".txt", 7));
    // Attributes the search reports as they are.
    ASSERT_TRUE(MakeWideFile(w + L"\\hidden.sys", 1, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(MakeWideFile(w + L"\\readonly.txt", 2, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeWideFolder(w + L"\\hidden folder"));
    ASSERT_TRUE(MakeWideFile(w + L"\\hidden folder\\inside.txt", 4));
    SetFileAttributesW((w + L"\\hidden folder").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Names in the code page, outside it (shown with its default character
    // or its nearest letter), and a folder whose 8-bit name leads nowhere.
    ASSERT_TRUE(MakeWideFile(w + L"\\caf\u00e9 \u00c5ngstr\u00f6m \u2122.txt", 5));
    ASSERT_TRUE(MakeWideFile(w + L"\\\u65e5\u672c\u8a9e.txt", 6));
    ASSERT_TRUE(MakeWideFile(w + L"\\\u0100\u0101 \u0141\u00f3d\u017a.txt", 8));
    ASSERT_TRUE(MakeWideFolder(w + L"\\\u00e9t\u00e9"));
    ASSERT_TRUE(MakeWideFile(w + L"\\\u00e9t\u00e9\\soleil.txt", 9));
    ASSERT_TRUE(MakeWideFolder(w + L"\\\u041f\u0430\u043f\u043a\u0430"));
    ASSERT_TRUE(MakeWideFile(w + L"\\\u041f\u0430\u043f\u043a\u0430\\unreachable.txt", 10));
    // Names that path parsing trims: a search reads the folder with the
    // space, and not the one with the dot.
    ASSERT_TRUE(MakeWideFolder(L"\\\\?\\" + w + L"\\dotted."));
    ASSERT_TRUE(MakeWideFile(w + L"\\dotted.\\in dotted.txt", 16));
    ASSERT_TRUE(MakeWideFolder(L"\\\\?\\" + w + L"\\spaced "));
    ASSERT_TRUE(MakeWideFile(w + L"\\spaced \\in spaced.txt", 17));
    ASSERT_TRUE(MakeWideFile(w + L"\\trailing dot.", 18));
    // Empty folders, one inside the other.
    ASSERT_TRUE(MakeWideFolder(w + L"\\empty"));
    ASSERT_TRUE(MakeWideFolder(w + L"\\empty\\emptier"));
    // A folder another program holds without sharing: nothing reads it.
    ASSERT_TRUE(MakeWideFolder(w + L"\\locked"));
    ASSERT_TRUE(MakeWideFile(w + L"\\locked\\behind.txt", 11));
    *lockedFolder = root + "\\locked";
    // A folder whose path has 70 characters: a name of 189 characters
    // reaches the limit of 259, one of 190 goes past it, and so does a
    // folder's name.
    ASSERT_LT(root.size(), 60u);
    const std::string deep = root + "\\" + std::string(70 - root.size() - 1, 'd');
    ASSERT_TRUE(MakeWideFolder(Wide(deep)));
    ASSERT_TRUE(MakeWideFile(Wide(deep) + L"\\" + std::wstring(189, L'f'), 12));
    ASSERT_TRUE(MakeWideFile(Wide(deep) + L"\\" + std::wstring(190, L'g'), 13));
    ASSERT_TRUE(MakeWideFolder(Wide(deep) + L"\\" + std::wstring(200, L'h')));
    ASSERT_TRUE(MakeWideFile(Wide(deep) + L"\\" + std::wstring(188, L'e') + L"\u00e9", 14));
    ASSERT_TRUE(MakeWideFile(Wide(deep) + L"\\after.txt", 15));
}

HANDLE LockFolder(const std::string& folder) {
    return CreateFileA(folder.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// ------------------------------------------------------------ listings

struct Listed {
    std::string name;
    DWORD attributes;
    DWORD sizeLow;
    bool operator==(const Listed& o) const {
        return name == o.name && attributes == o.attributes && sizeLow == o.sizeLow;
    }
};
using Listing = std::vector<Listed>;

std::ostream& operator<<(std::ostream& out, const Listed& e) {
    return out << "{" << e.name << ", " << std::hex << e.attributes << ", " << std::dec << e.sizeLow << "}";
}

// The listing as the find functions give it; false when the search fails.
bool ListWithFind(const std::string& folder, Listing* listing) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        listing->push_back({std::string(found.cFileName, strnlen(found.cFileName, MAX_PATH)), found.dwFileAttributes,
                            found.nFileSizeLow});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

bool ListWithReader(const std::string& folder, ListingLevel* level, Listing* listing) {
    char path[WALK_PATH_SIZE];
    snprintf(path, sizeof path, "%s", folder.c_str());
    DirectoryReader reader;
    if (!OpenDirectory(&reader, path, folder.size(), level)) return false;
    DirectoryEntry entry;
    while (NextDirectoryEntry(&reader, &entry)) {
        EXPECT_EQ(strlen(entry.name), entry.length);
        listing->push_back({entry.name, entry.attributes, entry.sizeLow});
    }
    CloseDirectory(&reader);
    return true;
}

bool IsDot(const std::string& name) { return name == "." || name == ".."; }

// Every folder below root that a search can list, root first.
void FoldersBelow(const std::string& root, Strings* folders) {
    Listing listing;
    if (!ListWithFind(root, &listing)) return;
    folders->push_back(root);
    for (const Listed& e : listing)
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDot(e.name) && root.size() + e.name.size() < 260)
            FoldersBelow(root + "\\" + e.name, folders);
}

// ------------------------------------------------------------ the walk

std::string g_log;
void Write(OutHandle, const char* bytes, size_t count) { g_log.append(bytes, count); }
const MessageSinks kSinks = {Write, nullptr, nullptr, nullptr, nullptr};
int g_windowToken;

// The log of the DISK walk over root with a record that every file passes
// by name and none fits, so each file is listed in verbose logging and
// left alone.
std::string WalkLog(const std::string& root) {
    ReportState saved = g_report;
    g_report = ReportState{reinterpret_cast<OutHandle>(1), nullptr, &g_windowToken,
                           SWITCH_DEFAULT_MESSAGES | SWITCH_VERBOSE, &kSinks};
    g_log.clear();
    FileRecord* record = static_cast<FileRecord*>(calloc(1, sizeof(FileRecord)));
    record->size = 0xFFFFFFFFu;
    ClearDirectoryList();
    g_directories[0] = _strdup(root.c_str());
    g_directoryCount = 1;
    ParseContext context = {};
    ScanDirectories(&context, record);
    ClearDirectoryList();
    FreeFileList(record);
    g_report = saved;
    return g_log;
}

// The same log worked out with the find functions alone.
void ExpectedEntries(const std::string& folder, std::string* log) {
    Listing listing;
    if (!ListWithFind(folder, &listing)) return;
    for (const Listed& e : listing) {
        bool directory = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory && IsDot(e.name)) continue;
        if (folder.size() + e.name.size() >= 260) {
            *log += "\r\nCould not scan " + e.name + "\n\r";
        } else if (directory) {
            ExpectedEntries(folder + "\\" + e.name, log);
        } else {
            *log += folder + "\\" + e.name + "\r\n";
        }
    }
}

std::string ExpectedLog(const std::string& root) {
    std::string log = "\r\nScanning " + root + "\r\n\r\n";
    ExpectedEntries(root, &log);
    return log;
}

const char kChildSwitch[] = "--walk-log";

// The child run: the walk's log and how its folders were read.
int ChildWalk(const char* root) {
    uint32_t nt = g_directoriesReadThroughNtdll, find = g_directoriesReadWithFind;
    std::string log = WalkLog(root);
    char head[64];
    snprintf(head, sizeof head, "ntdll %u find %u\n", g_directoriesReadThroughNtdll - nt,
             g_directoriesReadWithFind - find);
    std::string output = head + log;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), output.data(), static_cast<DWORD>(output.size()), &written, nullptr);
    return 0;
}

// The process's open handles (XP and later).
bool HandleCount(DWORD* count) {
    typedef BOOL(WINAPI * CountFunction)(HANDLE, DWORD*);
    CountFunction get = reinterpret_cast<CountFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount"));
    return get && get(GetCurrentProcess(), count);
}

class DiskListing : public testing::Test {
protected:
    void SetUp() override {
        // Short folder names: the tree needs room below the path limit.
        static int count = 0;
        root = MakeScratchFolder("listing" + std::to_string(++count)) + "\\tree";
        ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
        ASSERT_NO_FATAL_FAILURE(BuildTree(root, &locked));
        lock = LockFolder(locked);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock);
        ASSERT_FALSE(ListWithFind(locked, &ignored)) << "the locked folder must not be readable";
    }
    void TearDown() override {
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        // Sparse where it was made, but not in every copy of the prefix.
        RemoveFile(root + "\\huge.bin");
        RemoveFile(root + "-after\\huge.bin");
    }
    std::string root, locked;
    HANDLE lock = INVALID_HANDLE_VALUE;
    Listing ignored;
};

TEST_F(DiskListing, EveryFolderReadsAsTheFindFunctionsReadIt) {
    Strings folders;
    FoldersBelow(root, &folders);
    ASSERT_EQ(7u, folders.size()) << testing::PrintToString(folders);
    ListingLevel level = {};
    uint32_t nt = g_directoriesReadThroughNtdll, find = g_directoriesReadWithFind;
    for (const std::string& folder : folders) {
        Listing expected, read;
        ASSERT_TRUE(ListWithFind(folder, &expected));
        ASSERT_TRUE(ListWithReader(folder, &level, &read)) << folder;
        EXPECT_EQ(expected, read) << folder;
    }
    EXPECT_EQ(folders.size(), g_directoriesReadThroughNtdll - nt) << "each folder read through ntdll";
    EXPECT_EQ(find, g_directoriesReadWithFind);
    FreeListingLevels(&level);

    // What the find functions cannot open, the reader cannot either.
    const std::string unreadable[] = {locked, root + "\\?????", root + "\\dotted.", root + "\\nowhere",
                                      root + "\\plain.txt"};
    for (const std::string& folder : unreadable) {
        Listing read;
        EXPECT_FALSE(ListWithReader(folder, &level, &read)) << folder;
    }
    FreeListingLevels(&level);

    // The names the tree was built for are there, as the code page has them.
    Listing top;
    ASSERT_TRUE(ListWithFind(root, &top));
    Strings names;
    for (const Listed& e : top) names.push_back(e.name);
    for (const char* name : {"caf\xe9 \xc5ngstr\xf6m \x99.txt", "???.txt", "\xe9t\xe9", "?????", "huge.bin"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), name)) << name;
}

TEST_F(DiskListing, WithoutALevelTheFindFunctionsRead) {
    uint32_t nt = g_directoriesReadThroughNtdll, find = g_directoriesReadWithFind;
    Listing expected, read;
    ASSERT_TRUE(ListWithFind(root, &expected));
    ASSERT_TRUE(ListWithReader(root, nullptr, &read));
    EXPECT_EQ(expected, read);
    EXPECT_EQ(nt, g_directoriesReadThroughNtdll);
    EXPECT_EQ(find + 1, g_directoriesReadWithFind);
}

TEST_F(DiskListing, TheWalkLogsWhatTheFindFunctionsWouldGive) {
    uint32_t nt = g_directoriesReadThroughNtdll, find = g_directoriesReadWithFind;
    DWORD handlesBefore = 0, handlesAfter = 0;
    ASSERT_TRUE(HandleCount(&handlesBefore));
    std::string log = WalkLog(root);
    ASSERT_TRUE(HandleCount(&handlesAfter));
    EXPECT_EQ(handlesBefore, handlesAfter) << "every folder closed";
    EXPECT_EQ(ExpectedLog(root), log);
    EXPECT_NE(std::string::npos, log.find("\\???.txt\r\n")) << "a file named outside the code page is listed";
    EXPECT_GE(g_directoriesReadThroughNtdll - nt, 5u);
    EXPECT_EQ(find, g_directoriesReadWithFind) << "no folder fell back to the find functions";
}

// A folder being read stays free for other programs: they may rename it,
// and its files, while the listing is open.
TEST_F(DiskListing, AFolderBeingReadCanBeRenamed) {
    ListingLevel level = {};
    char path[WALK_PATH_SIZE];
    const std::string folder = root + "\\hidden folder";
    snprintf(path, sizeof path, "%s", folder.c_str());
    DirectoryReader reader;
    ASSERT_TRUE(OpenDirectory(&reader, path, folder.size(), &level));
    ASSERT_TRUE(reader.throughNtdll);
    EXPECT_TRUE(MoveFileA((folder + "\\inside.txt").c_str(), (folder + "\\moved.txt").c_str()));
    EXPECT_TRUE(MoveFileA(folder.c_str(), (root + "\\renamed folder").c_str())) << GetLastError();
    CloseDirectory(&reader);
    FreeListingLevels(&level);
    // And closed after the walk: the whole tree can be renamed.
    CloseHandle(lock);
    lock = INVALID_HANDLE_VALUE;
    WalkLog(root);
    EXPECT_TRUE(MoveFileA(root.c_str(), (root + "-after").c_str())) << GetLastError();
}

// A folder another program holds open to delete or rename it, sharing
// every way: the find functions, which do not share deleting, cannot read
// it; the reading through ntdll can.
TEST_F(DiskListing, AFolderHeldForDeletingIsStillRead) {
    const std::string folder = root + "\\hidden folder";
    HANDLE held = CreateFileA(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Listing found, read;
    EXPECT_FALSE(ListWithFind(folder, &found));
    ListingLevel level = {};
    EXPECT_TRUE(ListWithReader(folder, &level, &read));
    FreeListingLevels(&level);
    CloseHandle(held);
    ASSERT_TRUE(ListWithFind(folder, &found));
    EXPECT_EQ(found, read);
}

// Wine reports Windows 98 to a program named under AppDefaults. The walk
// then reads every folder with the find functions, and logs the same.
TEST_F(DiskListing, OnWindows98TheFindFunctionsReadEveryFolder) {
    char self[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, sizeof self));
    const char* base = strrchr(self, '\\') + 1;
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + base;
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &handle, nullptr));
    RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    ProcessResult nine = RunProgram(std::string(self) + " " + kChildSwitch + " " + root);
    RegDeleteValueA(handle, "Version");
    ProcessResult nt = RunProgram(std::string(self) + " " + kChildSwitch + " " + root);
    RegCloseKey(handle);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());

    const std::string expected = ExpectedLog(root);
    unsigned ntdll = 0, find = 0;
    ASSERT_EQ(2, sscanf(nine.output.c_str(), "ntdll %u find %u", &ntdll, &find)) << nine.output;
    EXPECT_EQ(0u, ntdll);
    EXPECT_GE(find, 5u);
    EXPECT_EQ(expected, nine.output.substr(nine.output.find('\n') + 1));

    ASSERT_EQ(2, sscanf(nt.output.c_str(), "ntdll %u find %u", &ntdll, &find)) << nt.output;
    EXPECT_GE(ntdll, 5u);
    EXPECT_EQ(0u, find);
    EXPECT_EQ(expected, nt.output.substr(nt.output.find('\n') + 1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], kChildSwitch) == 0) return ChildWalk(argv[2]);
    return RunAllTests(argc, argv);
}
