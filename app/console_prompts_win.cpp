#include "app/console_prompts_win.h"

#include <windows.h>
#include <string.h>

static void Write(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

// Reads one answer line; at the end of input there is no one to ask, which
// counts as No.
static int ReadAnswer(bool offerAll) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        Write(offerAll ? " [y]es, yes to [a]ll, [n]o: " : " [y]es, [n]o: ");
        char line[64];
        DWORD length = 0;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
            if (length < sizeof line - 1 && c != '\r') line[length++] = c;
        }
        bool ended = got == 0 && length == 0;
        line[length] = 0;
        if (ended) {
            Write("\r\n");
            return 'N';
        }
        char first = line[0] | 0x20;
        if (first == 'y' && (length == 1 || _stricmp(line, "yes") == 0)) return 'Y';
        if (first == 'n' && (length == 1 || _stricmp(line, "no") == 0)) return 'N';
        if (offerAll && first == 'a' && (length == 1 || _stricmp(line, "all") == 0)) return 'A';
    }
}

static int AskYesNo(void*, const char* text, const char*) {
    Write("\r\n");
    Write(text);
    return ReadAnswer(false);
}

static int AskYesAllNo(void*, const char* upper, const char* lower) {
    Write("\r\n");
    Write(upper);
    if (lower[0]) {
        Write("\r\n");
        Write(lower);
    }
    return ReadAnswer(true);
}

static void ShowInformation(void*, const char* text, const char*) {
    Write("\r\n");
    Write(text);
    Write("\r\n");
}

const PromptPort* ConsolePrompts() {
    static const PromptPort port = {AskYesNo, AskYesAllNo, ShowInformation};
    return &port;
}
