// The JSON library as the undo journal and the run report use it: its
// errors never throw (a wrong type asked of a value would end the program,
// so every reader checks types first) and the header comes from the folder
// CMake sets up.
#pragma once
#ifndef JSON_NOEXCEPTION
#define JSON_NOEXCEPTION
#endif
#include <nlohmann/json.hpp>
