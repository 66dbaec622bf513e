// What both share stand-ins need: where their table is.
#pragma once
#include <windows.h>
#include <string>

// The table file beside the stand-in library itself.
std::string TableFileBeside(HMODULE self);
