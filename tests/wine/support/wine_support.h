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
// The names of the files and folders directly in a folder, "." and ".."
// left out, in the order the system lists them.
std::vector<std::string> NamesIn(const std::string& folder);
// A fresh, empty folder under C:\mendrix\scratch; answers its path.
std::string MakeScratchFolder(const std::string& name);

// Scrambles a token stream as the data-file reader expects it.
std::string Scramble(const std::string& tokens);
// Builds a data file from XML text with the data-file tool.
bool BuildDataFile(const std::string& xml, const std::string& datPath);

// How many times piece occurs in text, overlapping ones included.
size_t CountOf(const std::string& text, const std::string& piece);

// A REG_SZ value's bytes: the text and its terminator.
std::string Sz(const std::string& text);
// Creates the key as needed and sets the value; a failure fails the test.
// root is an HKEY.
void SetRegistryValue(void* root, const std::string& path, const std::string& name, unsigned long type,
                      const std::string& bytes);

// Wine reports Windows 98 to a program named under its AppDefaults key
// with Version "win98". on false removes the program's key again.
void PretendWindows98(const char* program, bool on);

// Main test program entry: GoogleTest with its brief output.
int RunAllTests(int argc, char** argv);
