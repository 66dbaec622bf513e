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
