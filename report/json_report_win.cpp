#include <windows.h>
#include <string.h>

#include "report/json_report.h"
#include "report/message.h"
#include "report/own_file_win.h"

std::string PlatformAnsiToUtf8(const char* text) {
    std::string out;
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) return out;
    WCHAR* wide = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(units) * sizeof(WCHAR)));
    if (!wide) return out;
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, units);
    // Encoded here: the 95 family's WideCharToMultiByte knows no UTF-8.
    for (int i = 0; i < units - 1; ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units - 1 && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    HeapFree(GetProcessHeap(), 0, wide);
    return out;
}

static void ToStandardError(const char* text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(error, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

// Said in the window's list and the log, and on standard error, where a
// caller that reads only the report looks.
static void ReportFailure(const char* message) {
    ReportMessage(MSG_ERROR, "%s", message);
    ToStandardError(message);
}

bool WriteRunReport(const char* path) {
    std::string text = RunReportJson();
    char message[REPORT_BUFFER_SIZE];
    HANDLE file;
    // Opened as it is and emptied only once it has been found to be the
    // report's own file.
    OwnFileOpen opened = OpenOwnFile(path, GENERIC_WRITE, &file);
    if (opened == OWN_FILE_REFUSED) {
        snprintf(message, sizeof message, OWN_FILE_REFUSED_REPORT, path);
        ReportFailure(message);
        return false;
    }
    DWORD error = 0;
    if (opened != OWN_FILE_OPENED) {
        error = GetLastError();
    } else {
        DWORD written = 0;
        if (!SetEndOfFile(file) ||
            !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        if (!CloseHandle(file) && !error) error = GetLastError();
    }
    if (!error) return true;
    snprintf(message, sizeof message, "\r\nCould not write the run report %s (error %lu)\r\n", path,
             static_cast<unsigned long>(error));
    ReportFailure(message);
    return false;
}
