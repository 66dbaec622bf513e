// The console program's own command-line words: help and version, which
// end the program before any scan, and the notice for a token it ignores.
#pragma once

enum ConsoleRequest { CONSOLE_SCAN, CONSOLE_HELP, CONSOLE_VERSION };

// What a token that sets no run option asks of the console program:
// CONSOLE_SCAN when it asks nothing (it is then ignored).
ConsoleRequest ConsoleRequestOf(const char* token);

// The complete usage: every option, the quoting rule and the exit codes.
extern const char kConsoleUsage[];
