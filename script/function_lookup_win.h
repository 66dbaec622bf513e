// Functions that only some of the target systems export are looked up at run
// time, so that the program still loads on the others.
#pragma once
#include <windows.h>

// Answers false, with *function null, when the module is missing or does not
// export the name.
template <typename Function>
bool LookUpFunction(HMODULE module, const char* name, Function* function) {
    *function = module ? reinterpret_cast<Function>(GetProcAddress(module, name)) : nullptr;
    return *function != nullptr;
}
