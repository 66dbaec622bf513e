// Questions and notices of the windowed program: message boxes and the
// confirmation dialog, owned by the main window.
#pragma once
#include "report/prompts.h"

const PromptPort* WindowPrompts();
