// Runs a program with a time limit, its standard output and standard error
// kept apart: for tests that must show a run ends promptly, and for what a
// program writes to each stream.
#pragma once
#include <string>

struct TimedRun {
    bool finished;           // false: the limit passed and the program was ended
    unsigned long exitCode;  // meaningful when finished
    double seconds;
    std::string output;  // standard output
    std::string errors;  // standard error
};

TimedRun RunProgramWithin(const std::string& commandLine, unsigned long milliseconds);
