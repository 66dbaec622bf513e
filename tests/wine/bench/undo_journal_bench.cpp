// Benchmark, not a test: the console program deletes the same 6,400 small
// marked files once with the undo journal and once with -noundo, in the same
// prefix, and the two times and their ratio are printed. The journal costs a
// constant amount per change: the bar is a ratio of at most 1.5.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "support/timed_run.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kRoot[] = "C:\\mendrix\\bench";
const char kFiles[] = "C:\\mendrix\\bench\\files";
const char kUndoRoot[] = "C:\\Mendrix\\Undo";
int g_count = 6400;  // another count may be named on the command line
const int kRounds = 3;

bool MakeFiles() {
    RemoveFolderTree(kFiles);
    if (!CreateDirectoryA(kFiles, nullptr)) return false;
    for (int i = 0; i < g_count; ++i) {
        char path[MAX_PATH], body[160];
        snprintf(path, sizeof path, "%s\\MX%05d.EXE", kFiles, i);
        int length = snprintf(body, sizeof body, "MZ bench file %05d MXBENCH-MARKER padding to a small size ..........", i);
        if (!WriteWholeFile(path, std::string(body, static_cast<size_t>(length)))) return false;
    }
    return true;
}

// Seconds the program took to delete every file; negative when it failed.
double Delete(const std::string& dat, const char* options) {
    if (!MakeFiles()) return -1;
    RemoveFolderTree(kUndoRoot);
    std::string log = std::string(kRoot) + "\\run.log";
    DeleteFileA(log.c_str());
    TimedRun run = RunProgramWithin(std::string(kCli) + " -noc " + options + " -df=" + dat + " -lf=" + log, 1800000);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(kFiles) + "\\*.EXE").c_str(), &found);
    bool left = search != INVALID_HANDLE_VALUE;
    if (left) FindClose(search);
    if (!run.finished || run.exitCode != 0 || left) {
        fprintf(stderr, "the run %s failed (exit %lu, files left: %s)\n%s\n", options, run.exitCode,
                left ? "yes" : "no", run.output.c_str());
        return -1;
    }
    return run.seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && atoi(argv[1]) > 0) g_count = atoi(argv[1]);
    CreateDirectoryA(kRoot, nullptr);
    std::string dat = std::string(kRoot) + "\\bench.dat";
    std::string xml = std::string("<CLEANER DataFile=\"Bench\" Type=\"Trojan\"><IDENTITY GenericName=\"MxBench\"><DISK>"
                                  "<DIRECTORY>") + kFiles + "</DIRECTORY><FILE Extensions=\".exe\"><PATTERN type=\"forwards\">"
                                  "4D 58 42 45 4E 43 48</PATTERN><ACTION>delete</ACTION></FILE></DISK></IDENTITY></CLEANER>";
    if (!BuildDataFile(xml, dat)) {
        fprintf(stderr, "cannot build the data file\n");
        return 1;
    }
    double best[2] = {1e9, 1e9};
    const char* const kOptions[2] = {"-noundo", ""};
    // The two kinds of run take turns, so that a slower moment of the
    // machine does not weigh on one of them alone; the best of each counts.
    for (int round = 0; round < kRounds; ++round) {
        for (int kind = 0; kind < 2; ++kind) {
            double seconds = Delete(dat, kOptions[kind]);
            if (seconds < 0) return 1;
            printf("round %d: %-12s %7.2f s\n", round + 1, kind ? "journal" : "-noundo", seconds);
            if (seconds < best[kind]) best[kind] = seconds;
        }
    }
    RemoveFolderTree(kUndoRoot);
    RemoveFolderTree(kFiles);
    printf("%d files deleted: with the undo journal %.2f s, with -noundo %.2f s, ratio %.2f (bar: 1.5)\n", g_count,
           best[1], best[0], best[1] / best[0]);
    return 0;
}
