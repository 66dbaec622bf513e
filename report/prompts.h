// Questions and notices that stop the worker until the user answers. The
// window shows them as boxes owned by the main window; the console front
// end asks on the console; tests answer from a script.
#pragma once

struct PromptPort {
    // Yes and No, question-mark icon. Answers 'Y' or 'N'.
    int (*askYesNo)(void* owner, const char* text, const char* caption);
    // Yes, Yes to All and No. Answers 'Y', 'A' (Yes to All) or 'N'.
    int (*askYesAllNo)(void* owner, const char* upper, const char* lower);
    // Information icon and OK.
    void (*showInformation)(void* owner, const char* text, const char* caption);
};

extern const PromptPort* g_prompts;

extern const char kCaption[];  // "Mendrix"
