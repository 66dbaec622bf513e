// mendrix-offline: runs a data file against a Windows installation mounted
// on this system, with the console program's options, log, summary and
// exit codes:
//   mendrix-offline --root=/mnt/win [-df=...] [-lf=...] [-noc] [-v] [-all]
//                   [-reportonly] [-json=...] [--drive=D:/mnt/d ...]
// Windows paths (the log's, the run report's) name the installation's
// drives; a path that begins with '/' is one of this system.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/banner.h"
#include "app/header_pass.h"
#include "app/open_group.h"
#include "app/run_options.h"
#include "app/summary.h"
#include "disk/directory_list.h"
#include "offline/embedded_data.h"
#include "offline/hive_registry.h"
#include "offline/installation.h"
#include "offline/mounted_file.h"
#include "offline/mounted_tree.h"
#include "offline/offline_profiles.h"
#include "offline/program/offline_drives.h"
#include "offline/program/offline_undo.h"
#include "offline/program/offline_work.h"
#include "report/counters.h"
#include "report/folder_macro.h"
#include "report/json_report.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/data_error.h"
#include "script/data_reader.h"
#include "script/identity.h"
#include "script/local_time.h"
#include "script/pass.h"
#include "script/settings.h"
#include "script/store.h"

void SetTestWindowsDirectory(const char* dir);

namespace {

const char kUsage[] =
    "Usage: mendrix-offline --root=FOLDER [--drive=D:FOLDER ...] [-df=DATAFILE | --from-exe=PROGRAM]\n"
    "                       [-lf=LOGFILE] [-noc] [-v]\n"
    "                       [-all] [-reportonly] [-noundo] [-json=REPORT]\n"
    "       mendrix-offline --root=FOLDER --undo[=JOURNAL]\n"
    "Runs a data file against the Windows installation mounted at FOLDER, as the console program\n"
    "would on that machine. Exit codes: 0 done, 1 no installation, 3 no data, 9 data file not\n"
    "well-formed, 10 data file corrupt, 12 out of memory.\n";

std::vector<std::string> g_earlyLines;  // said before the log was open
Installation g_installation;
std::string g_folders[FOLDER_COUNT];

void Write(OutHandle file, const char* bytes, size_t count) {
    if (file) fwrite(bytes, 1, count, static_cast<FILE*>(file));
}
int AddListEntry(void*, const char*) { return 0; }
void SelectListEntry(void*, int) {}
void SetStatusLine(void*, const char*) {}
void SetControlText(void*, int, const char*) {}
const MessageSinks kSinks = {Write, AddListEntry, SelectListEntry, SetStatusLine, SetControlText};

void SayLater(const std::string& line) { g_earlyLines.push_back(line); }
void SayNow(const std::string& line) { ReportMessage(MSG_ERROR, "%s", line.c_str()); }

// A path of this system for a Windows path of the installation (or one of
// this system as it is); empty when it would lead through a link.
std::string LocalPath(const char* path) {
    if (path[0] == '/') return path;
    std::string posix;
    MountedPathStatus status = ResolveMountedPath(path, &posix);
    return status == MOUNTED_FOUND || status == MOUNTED_MISSING ? posix : "";
}

// The log is appended to, and never written through a link.
FILE* OpenLog(const char* path) {
    std::string local = LocalPath(path);
    if (local.empty()) return nullptr;
    int fd = open(local.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    FILE* log = fdopen(fd, "ab");
    if (!log) close(fd);
    return log;
}

void SetFolderMacros() {
    const std::string* folders[FOLDER_COUNT] = {&g_installation.windowsFolder, &g_installation.systemFolder,
                                                &g_installation.tempFolder, &g_installation.startupFolder,
                                                &g_installation.desktopFolder};
    for (int i = 0; i < FOLDER_COUNT; ++i) {
        g_folders[i] = *folders[i];
        g_standInFolders[i] = g_folders[i].empty() ? nullptr : g_folders[i].c_str();
    }
}

void WriteJson(const char* path) {
    std::string local = LocalPath(path);
    uint32_t error = local.empty() ? 5 : ReplaceMountedFile(local, RunReportJson());
    if (error) ReportMessage(MSG_ERROR, "\r\nCould not write the run report %s\r\n", path);
}

void TakeTime(int32_t* moment) {
    LocalTime now;
    PlatformLocalTime(&now);
    const int32_t parts[6] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) moment[i] = parts[i];
}

// One scan, as the console program's: answers the run's result code.
int Scan() {
    ParseContext context;
    ResetParseContext(&context, RUN_INITIAL_FLAGS | (g_installation.ntFamily ? RUN_WINNT : RUN_WIN9X));
    g_platformCode = g_installation.ntFamily ? PLATFORM_NT : PLATFORM_9X;
    FreeStores();
    ResetCounters();
    g_infected = 0;
    FreeRunItems();
    ResetRunFacts("scan");
    TakeTime(g_runFacts.started);
    g_runFacts.platformCode = g_platformCode;
    ClearDirectoryList();
    int result = RESULT_OK;
    if (!AllocateDecoderBuffers(&context)) {
        ReportDataError(&context, DATA_ERROR_MEMORY);
        result = RESULT_NO_MEMORY;
    }
    if (result == RESULT_OK && !OpenDataFile(&context)) result = RESULT_NO_DATA;
    if (result == RESULT_OK) {
        bool saving = !g_runOptions.noUndo && !ReportOnlyRun();
        if (saving) BeginOfflineJournal(g_installation.letter, g_settings.dataFile);
        if (!CreateScriptParser(&context)) {
            ReportDataError(&context, DATA_ERROR_MEMORY);
            result = RESULT_NO_MEMORY;
        } else {
            result = RunDecoder(&context, false);
            ReleaseScriptParser();
        }
        if (!(context.flags & RUN_SKIP)) WriteSummary(context.flags, context.threatType, ReportOnlyRun());
        if (result != RESULT_OK) CloseOpenGroup(&context);
        // The hives are written once, each saved whole before it is.
        if (!ReportOnlyRun()) {
            if (saving)
                CommitHives([](const std::string&, const std::string& windowsPath) {
                    return SaveWholeFileForUndo(windowsPath);
                }, SayNow);
            else
                CommitHives([](const std::string&, const std::string&) { return true; }, SayNow);
        }
        if (saving) {
            NoteWholeFilesReplaced();
            EndOfflineJournal();
        }
    }
    g_runFacts.result = result;
    g_runFacts.skipMode = (context.flags & RUN_SKIP) != 0;
    TakeTime(g_runFacts.finished);
    if (g_runOptions.jsonPath) WriteJson(g_runOptions.jsonPath);
    FreeRunItems();
    FreeStores();
    ReportMessage(MSG_STATUS, "\r\n");
    ClearDirectoryList();
    FreeContextTexts(&context);
    FreeDecoderBuffers(&context);
    CloseDataFile(&context);
    return result;
}

// "--drive=D:/mnt/d": the drive's letter and folder.
bool AddDrive(const char* text) {
    if (!text[0] || text[1] != ':' || !text[2]) return false;
    AddDriveMount(text[0], text + 2);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, commandLine;
    const char* fromExe = nullptr;
    std::vector<const char*> drives;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!strncmp(a, "--root=", 7)) {
            root = a + 7;
        } else if (!strncmp(a, "--drive=", 8)) {
            drives.push_back(a + 8);
        } else if (!strncmp(a, "--from-exe=", 11)) {
            fromExe = a + 11;
        } else if (!strcmp(a, "--undo") || !strncmp(a, "--undo=", 7)) {
            commandLine += std::string(commandLine.empty() ? "" : " ") + "\"-" + (a + 2) + "\"";
        } else if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
            fputs(kUsage, stdout);
            return 0;
        } else {
            // Each word goes to the console program's reader whole.
            commandLine += std::string(commandLine.empty() ? "" : " ") + "\"" + a + "\"";
        }
    }
    if (root.empty()) {
        fputs(kUsage, stderr);
        return RESULT_PLATFORM;
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // The installation's drive is C: unless a --drive names its folder.
    char letter = 'C';
    for (const char* d : drives)
        if (d[0] && d[1] == ':' && root == d + 2) letter = d[0] >= 'a' && d[0] <= 'z' ? d[0] - 0x20 : d[0];
    AddDriveMount(letter, root);
    for (const char* d : drives)
        if (root != d + 2 && !AddDrive(d)) fprintf(stderr, "Unknown option ignored: \"--drive=%s\"\r\n", d);

    std::string problem;
    if (!FindInstallation(root, letter, &g_installation, &problem)) {
        fprintf(stderr, "mendrix-offline: %s\n", problem.c_str());
        return RESULT_PLATFORM;
    }
    LoadInstallation(&g_installation, SayLater);
    SetTestWindowsDirectory(g_installation.windowsFolder.c_str());
    SetFolderMacros();
    SetOfflineUsers(&g_installation.users);
    SetOfflineProfiles(g_installation.ntFamily ? HiveRegistryCalls() : nullptr, g_installation.windowsFolder.c_str());

    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back(0);
    ParseCommandLine(text.data(), [](const char* token) {
        fprintf(stderr, "Unknown option ignored: \"%s\"\r\n", token);
    });
    // The data a built program carries stands in for -df=.
    static std::string embedded;
    if (fromExe) {
        std::string image, problem;
        if (ReadMountedFile(fromExe, &image) != 0 || !FindEmbeddedData(image, 101, &embedded, &problem)) {
            fprintf(stderr, "mendrix-offline: no data file in %s: %s\n", fromExe,
                    problem.empty() ? "it cannot be read" : problem.c_str());
            return RESULT_NO_DATA;
        }
        g_resourceData = reinterpret_cast<const unsigned char*>(embedded.data());
        g_resourceSize = static_cast<uint32_t>(embedded.size());
        g_runOptions.dataFile = nullptr;
    }
    g_runOptions.secondOutput = stdout;
    InstallRunOptions(&g_runOptions);
    g_report.sinks = &kSinks;
    g_cleaning = OfflineCleaningWork(g_installation.ntFamily);

    g_report.secondOutput = nullptr;
    LoadDataHeader(nullptr);
    g_report.secondOutput = g_settings.secondOutput;

    FILE* log = OpenLog(g_settings.logPath);
    if (log) {
        g_report.logFile = log;
        ReportMessage(MSG_LOG_ONLY | MSG_INFO, "\r\n\r\n" MENDRIX_VERSION_LINE "\r\n%s", MENDRIX_NOTICE_LINE);
    } else {
        ReportMessage(MSG_ERROR, "\r\nUnable to open log file %s\r\n", g_settings.logPath);
    }
    for (const std::string& line : g_earlyLines) ReportMessage(MSG_ERROR, "%s", line.c_str());
    if (!g_installation.ntFamily)
        ReportMessage(MSG_WARNING, "Registry not examined: the registry of a 9x installation is not read offline\r\n");
    int result = g_runOptions.undo ? RestoreOfflineJournal(g_installation.letter, g_runOptions.undo) : Scan();
    if (log) fclose(log);
    g_report.logFile = nullptr;
    CloseHives();
    FreeVariants();
    ClearDriveMounts();
    return result;
}
