// Helpers for the test programs that run inside a Wine prefix, beside the
// programs under test in C:\mendrix.
#pragma once
#include <string>
#include <vector>

struct ProcessResult {
    unsigned long exitCode;
    std::string output;  // everything written to standard output
};

// Runs a command line with the given standard input and waits for it.
ProcessResult RunProgram(const std::string& commandLine, const std::string& input = "");

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void RemoveFile(const std::string& path);
// Removes a folder with everything in it.
void RemoveFolderTree(const std::string& folder);
// A fresh, empty folder under C:\mendrix\scratch; answers its path.
std::string MakeScratchFolder(const std::string& name);

// Scrambles a token stream as the data-file reader expects it.
std::string Scramble(const std::string& tokens);
// Builds a data file from XML text with the data-file tool.
bool BuildDataFile(const std::string& xml, const std::string& datPath);

// Main test program entry: GoogleTest with its brief output.
int RunAllTests(int argc, char** argv);
