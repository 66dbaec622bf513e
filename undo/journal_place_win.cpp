#include "undo/journal_place_win.h"

#include "report/message.h"
#include "undo/journal_files_win.h"
#include "undo/journal_security_win.h"

JournalCreateCalls g_journalCreateCalls = {CreateDirectoryA, CreateFileA};

namespace {

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Why what stands at path may not serve as the journal's folder, or "":
// it must be a folder, not a link, owned by a trusted account that alone
// may write to it. What is no folder at all is judged by its owner only:
// the caller cannot use it either way, but moves it aside only when it is
// someone else's.
std::string Distrust(const std::string& path, bool folder) {
    HANDLE opened = CreateFileA(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return "its security cannot be read";
    std::string who;
    std::string why = TrustProblem(JudgeHandle(opened, folder, &who), nullptr, who);
    BY_HANDLE_FILE_INFORMATION facts;
    // A link leads the journal wherever its maker chose.
    if (why.empty() && folder && GetFileInformationByHandle(opened, &facts) &&
        (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        why = "it is a link";
    CloseHandle(opened);
    return why;
}

// Moves what stands at path out of the way, under a name of its own beside it.
bool MoveAside(const std::string& path, const std::string& why, std::string* problem) {
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string aside = path + ".untrusted" + (attempt > 1 ? "-" + std::to_string(attempt) : "");
        if (MoveFileA(path.c_str(), aside.c_str())) {
            ReportMessage(MSG_WARNING, "\r\n%s was moved aside to %s: %s\r\n", path.c_str(), aside.c_str(), why.c_str());
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            *problem = "cannot move " + path + " aside (" + why + "): " + ProblemText(error);
            return false;
        }
    }
    *problem = "cannot move " + path + " aside (" + why + ")";
    return false;
}

// One folder of the root: made, or found and judged.
bool MakeRootFolder(const std::string& folder, std::string* problem) {
    SECURITY_ATTRIBUTES* security = JournalSecurityAttributes();
    if (g_journalCreateCalls.createDirectory(folder.c_str(), security)) return true;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesA(folder.c_str());
    bool isFolder = IsFolder(attributes);
    if (JournalsGuarded() && attributes != INVALID_FILE_ATTRIBUTES) {
        std::string why = Distrust(folder, isFolder);
        if (why.empty() && isFolder) return true;
        if (!why.empty()) {
            if (!MoveAside(folder, why, problem)) return false;
            if (g_journalCreateCalls.createDirectory(folder.c_str(), security)) return true;
            error = GetLastError();
            isFolder = false;
        }
    }
    if (isFolder) return true;
    *problem = "cannot create " + folder + ": " + ProblemText(error);
    return false;
}

}  // namespace

bool MakeUndoRoot(std::string* problem) {
    std::string root = UndoRoot();
    return MakeRootFolder(root.substr(0, root.rfind('\\')), problem) && MakeRootFolder(root, problem);
}

bool MakeJournalFolder(const JournalTime& started, std::string* folder, std::string* problem) {
    if (!MakeUndoRoot(problem)) return false;
    std::string root = UndoRoot();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = root + "\\" + JournalFolderName(started, attempt);
        if (g_journalCreateCalls.createDirectory(name.c_str(), JournalSecurityAttributes())) {
            *folder = name;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            *problem = "cannot create " + name + ": " + ProblemText(GetLastError());
            return false;
        }
    }
    *problem = "cannot create a journal folder under " + root;
    return false;
}

HANDLE CreateJournalFile(const std::string& path) {
    return g_journalCreateCalls.createFile(path.c_str(), GENERIC_WRITE, 0, JournalSecurityAttributes(), CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
}
