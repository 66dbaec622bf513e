// The one reporter of data-file errors; the first fatal one starts skip mode.
#pragma once

struct ParseContext;

enum DataErrorCode {
    DATA_ERROR_ATTRIBUTE = 8,
    DATA_ERROR_ELEMENT = 9,
    DATA_ERROR_CORRUPT = 10,
    DATA_ERROR_MEMORY = 12,
};

// With a null context, the current parser's user data is used.
void ReportDataError(ParseContext* context, int code, bool fatal = true);

// Sees every data-file error before it is reported, with the code. Answers
// true to have the pass go on as if nothing had happened (no report, no skip
// mode): the data-file tool's check lists every error this way. Null in the
// program.
typedef bool (*DataErrorObserver)(ParseContext* context, int code);
extern DataErrorObserver g_dataErrorObserver;
