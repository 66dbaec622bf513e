// Lists every grammar and attribute error that the program would meet in a
// script, without running anything.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

struct CheckFinding {
    long line;
    long column;
    std::string message;  // what is wrong
    bool warning = false;  // the program accepts it, but it cannot be what was meant
    std::string rule;      // a warning's row (warnings.h)
    std::string instead;   // a warning's advice: what to write instead
};

// Runs the script's text through the program's own element handlers with
// no cleaning work attached. A malformed document ends the list with the
// parser's complaint.
std::vector<CheckFinding> CheckScript(const std::vector<uint8_t>& text);
