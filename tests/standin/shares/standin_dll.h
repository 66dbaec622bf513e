// What both share stand-ins need: where their table is.
#pragma once
#include <windows.h>
#include <string>

// The table file beside the program that loaded the stand-in: the stand-ins
// themselves sit in the system folder, where the programs load them from.
std::string ShareTableFile();
