#include "script/usage.h"
#include "report/message.h"

static const char kUsage[] =
    "\r\nUsage: MENDRIX -DF=<file> <option>\r\n\r\n"
    "       -DF=<file> read data from <file>\r\n"
    "       -LF=<file> write to logfile <file>\r\n"
    "       -NOC       do not ask for confirmation\r\n"
    "       -V         verbose logging\r\n"
    "       -VER       display version information and exit\r\n";

// Shown in the window and on the second output, never logged.
void PrintUsage() { ReportMessage(MSG_NO_LOG | MSG_INFO, "%s", kUsage); }
