// Questions and notices asked on the console instead of in message boxes.
#pragma once
#include "report/prompts.h"

const PromptPort* ConsolePrompts();
