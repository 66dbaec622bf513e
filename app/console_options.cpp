#include "app/console_options.h"

#include "script/text_util.h"

namespace {

struct RequestWord {
    const char* word;
    ConsoleRequest request;
};

// Compared without regard to letter case, like the run options.
const RequestWord kRequestWords[] = {
    {"-?", CONSOLE_HELP},     {"-h", CONSOLE_HELP},           {"--help", CONSOLE_HELP}, {"/?", CONSOLE_HELP},
    {"-ver", CONSOLE_VERSION}, {"--version", CONSOLE_VERSION},
};

}  // namespace

ConsoleRequest ConsoleRequestOf(const char* token) {
    for (const RequestWord& w : kRequestWords)
        if (EqualsIgnoreCase(token, w.word)) return w.request;
    return CONSOLE_SCAN;
}

const char kConsoleUsage[] =
    "Usage: mendrix-cli [-df=<file>] [-lf=<file>] [-noc] [-nodisk] [-v] [-s | -rs] [-all] [-noundo]\r\n"
    "                   [-reportonly] [-json=<file>]\r\n"
    "       mendrix-cli -undo[=<folder> | =list] [-lf=<file>] [-reportonly] [-json=<file>]\r\n"
    "       mendrix-cli -? | -h | --help | /?\r\n"
    "       mendrix-cli -ver | --version\r\n"
    "\r\n"
    "  -df=<file>  read data from <file> instead of the data built into the program;\r\n"
    "              a name without a backslash is looked for beside the program\r\n"
    "  -lf=<file>  append the log to <file> (default: mendrix.log in the root\r\n"
    "              folder of the drive that holds Windows)\r\n"
    "  -noc        do not ask for confirmation\r\n"
    "  -nodisk     leave files on disk alone\r\n"
    "  -v          verbose logging\r\n"
    "  -s          remove the network shares where the data file says so, and\r\n"
    "              save them for a later -rs run\r\n"
    "  -rs         only restore the network shares saved by an earlier -s run\r\n"
    "  -all        examine files of every extension\r\n"
    "  -noundo     do not save what the run changes (no undo journal)\r\n"
    "  -undo       put back what the latest run changed, from its undo journal\r\n"
    "  -undo=<folder>  put back the named journal (a folder under \\Mendrix\\Undo)\r\n"
    "  -undo=list  list the undo journals\r\n"
    "  -reportonly find and report as a scan does, but change nothing and ask\r\n"
    "              nothing: each change is logged as the line it would be\r\n"
    "  -json=<file>  write a report of the run to <file> in JSON when it ends\r\n"
    "              (see docs/run-report.md); a report that cannot be written\r\n"
    "              is named on standard error and leaves the exit code alone\r\n"
    "  -?, -h, --help, /?  show this text and exit\r\n"
    "  -ver, --version     show the version and exit\r\n"
    "\r\n"
    "Options are matched without regard to letter case; a token that matches\r\n"
    "none is ignored. Put a name that holds spaces in double quotes, the whole\r\n"
    "option or its value: \"-df=C:\\My Files\\x.dat\" or -df=\"C:\\My Files\\x.dat\".\r\n"
    "\r\n"
    "Exit codes:\r\n"
    "  0   the script ran to its end (a data-file error found on the way\r\n"
    "      leaves it at 0; the rest of the script is then skipped)\r\n"
    "  1   unsupported platform, or no going on without Administrator rights\r\n"
    "  3   the data file could not be opened, or the built-in data not loaded\r\n"
    "  9   the data file is not well-formed XML\r\n"
    "  10  the compressed data is corrupt\r\n"
    "  12  memory ran out\r\n"
    "  3010  the script ran to its end, and files that were in use will be\r\n"
    "      removed (or moved) when Windows restarts: restart to finish\r\n"
    "With -undo: 0 when every item came back, 1 when any did not (each one\r\n"
    "is named with the reason) or there was no journal to restore.\r\n";
