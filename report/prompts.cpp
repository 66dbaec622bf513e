#include "report/prompts.h"

const PromptPort* g_prompts = nullptr;
const char kCaption[] = "Mendrix";
