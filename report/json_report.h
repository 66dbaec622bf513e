// The machine-readable run report: one JSON document per run, written where
// -json= names, for the tools that watch many machines. Its layout is
// described in docs/run-report.md; RUN_REPORT_FORMAT_VERSION grows with any
// change a reader could notice.
#pragma once
#include <string>

enum { RUN_REPORT_FORMAT_VERSION = 1 };

// The document for the run as it stands: g_runFacts, the run settings, the
// data file's identity, the counters and g_runItems.
std::string RunReportJson();

// Text of the data file and of Windows is 8-bit, in the machine's ANSI code
// page; the report is UTF-8. The Windows build converts through the code
// page; the native build reads the bytes as Latin-1.
std::string PlatformAnsiToUtf8(const char* text);

// Writes the report to the path (replacing a file there). A report that
// cannot be written is an error in the log and on standard error; answers
// false then. The run's result is not changed by it.
bool WriteRunReport(const char* path);
