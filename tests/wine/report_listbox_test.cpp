// Messages and counters through the Win32 sinks into a real window's list
// box, status line and counter controls, and into real files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "report/counters.h"
#include "report/message.h"
#include "report/sinks_win.h"

namespace {

using Lines = std::vector<std::string>;

HWND g_window;

HWND MakeChild(const char* cls, DWORD style, int id, int y, int height) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 0, y, 300, height, g_window,
                           (HMENU)(INT_PTR)id, GetModuleHandleA(nullptr), nullptr);
}

bool MakeWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MendrixReportTest";
    if (!RegisterClassA(&wc)) return false;
    g_window = CreateWindowExA(0, wc.lpszClassName, "report", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400,
                               nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_window) return false;
    // Room for a few entries only, so selecting the newest has to scroll.
    if (!MakeChild("LISTBOX", WS_VSCROLL | WS_BORDER, IDC_MESSAGE_LIST, 0, 100)) return false;
    if (!MakeChild("STATIC", 0, IDC_STATUS_LINE, 110, 20)) return false;
    for (int id = 1029; id <= 1034; ++id)
        if (!MakeChild("STATIC", 0, id, 140 + (id - 1029) * 20, 20)) return false;
    return true;
}

Lines ListEntries() {
    Lines out;
    int n = (int)SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
        char text[REPORT_BUFFER_SIZE + 1] = {};
        int len = (int)SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_GETTEXTLEN, i, 0);
        if (len < 0 || len > REPORT_BUFFER_SIZE) return {"<bad length>"};
        SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_GETTEXT, i, (LPARAM)text);
        out.push_back(text);
    }
    return out;
}

std::string ControlText(int id) {
    char text[REPORT_BUFFER_SIZE + 1] = {};
    GetDlgItemTextA(g_window, id, text, sizeof text);
    return text;
}

int Selection() {
    return (int)SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_GETCURSEL, 0, 0);
}

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(g_window, nullptr);
        saved_ = g_report;
        SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_RESETCONTENT, 0, 0);
        SetDlgItemTextA(g_window, IDC_STATUS_LINE, "(unset)");
        g_report = ReportState{nullptr, nullptr, g_window, SWITCH_DEFAULT_MESSAGES,
                               Win32MessageSinks()};
    }
    void TearDown() override { g_report = saved_; }
    ReportState saved_;
};

// ------------------------------------------------------ list and status

struct ListRow {
    int row;
    uint32_t level;
    const char* text;
    uint32_t switches;
    Lines list;
    const char* status;
};

const uint32_t kOn = SWITCH_DEFAULT_MESSAGES;

const ListRow kListRows[] = {
    {1, 0x1, "Bad entry", kOn, {"Bad entry"}, "(unset)"},
    {2, 0x2, "Done\r\n", kOn, {"Done"}, "(unset)"},
    {3, 0x20, "Careful", kOn, {"Careful"}, "(unset)"},
    {4, 0x42, "Hi\r\n", kOn, {"Hi"}, "(unset)"},
    {5, 0x80, "Memory\r\n", kOn, {}, "Memory"},
    {6, 0x80, "\r\n", kOn, {}, ""},
    {7, 0x101, "not listed\r\n", kOn, {}, "(unset)"},
    {8, 0x102, "not listed\r\n", kOn, {}, "(unset)"},
    {9, 0x202, "\r\nChecking files\r\n", kOn, {"", "Checking files"}, "(unset)"},
    {10, 0x202, "dropped\r\n", 0, {}, "(unset)"},
    {11, 0x40000002, "log only\r\n", kOn, {}, "(unset)"},
    {12, 0x80000002, "verbose\r\n", kOn | SWITCH_VERBOSE, {}, "(unset)"},
    {13, 0x1, "Could not execute command:\r\n    x.exe", kOn, {"Could not execute command:"},
     "(unset)"},
    {14, 0x2, "\r\nStopping Spooler", kOn, {""}, "(unset)"},
    {15, 0x2, "", kOn, {""}, "(unset)"},
    {16, 0x82, "Scan\r\nrest", kOn, {"Scan"}, "Scan"},
};

TEST_F(Window, MessagesReachListAndStatusLine) {
    for (const ListRow& r : kListRows) {
        SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_RESETCONTENT, 0, 0);
        SetDlgItemTextA(g_window, IDC_STATUS_LINE, "(unset)");
        g_report.switches = r.switches;
        ReportMessage(r.level, "%s", r.text);
        EXPECT_EQ(ListEntries(), r.list) << "row " << r.row;
        EXPECT_EQ(ControlText(IDC_STATUS_LINE), r.status) << "row " << r.row;
        EXPECT_EQ(Selection(), LB_ERR) << "row " << r.row;
    }
}

TEST_F(Window, EntriesKeepTheirOrderAndTheNewestIsScrolledTo) {
    Lines want;
    for (int i = 0; i < 40; ++i) {
        ReportMessage(MSG_INFO, "line %d\r\n", i);
        want.push_back("line " + std::to_string(i));
    }
    EXPECT_EQ(ListEntries(), want);
    EXPECT_GT((int)SendDlgItemMessageA(g_window, IDC_MESSAGE_LIST, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(Selection(), LB_ERR);
}

TEST_F(Window, LongTextIsCut) {
    std::string big(2000, 'q');
    ReportMessage(MSG_INFO, "%s", big.c_str());
    EXPECT_EQ(ListEntries(), Lines{std::string(REPORT_BUFFER_SIZE - 1, 'q')});
}

// ------------------------------------------------------------- counters

TEST_F(Window, CountersShowInTheirControls) {
    for (int id = 1029; id <= 1034; ++id) SetDlgItemTextA(g_window, id, "-");
    ResetCounters();
    CountEvent(EVENT_FILE_DELETED);
    CountEvent(EVENT_FILE_DELETED);
    CountEvent(EVENT_FILE_CHANGED);
    CountEvent(EVENT_PROCESS_TERMINATED);
    CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
    CountEvent(EVENT_FILE_FOUND);
    CountEvent(EVENT_SHARE_DELETED);
    EXPECT_EQ(ControlText(1032), "3");
    EXPECT_EQ(ControlText(1034), "2");
    EXPECT_EQ(ControlText(1029), "1");
    EXPECT_EQ(ControlText(1030), "-");
    EXPECT_EQ(ControlText(1031), "-");
    EXPECT_EQ(ControlText(1033), "-");
    ResetCounters();
}

// ---------------------------------------------------------------- files

HANDLE CreateOut(const char* name) {
    return CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

std::string ReadBack(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string out;
    char buf[512];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

TEST_F(Window, LogAndSecondOutputFilesGetTheirBytes) {
    HANDLE log = CreateOut("report_log.txt");
    HANDLE second = CreateOut("report_second.txt");
    ASSERT_NE(log, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    g_report.logFile = log;
    g_report.secondOutput = second;

    ReportMessage(0x1, "E1\r\n");
    ReportMessage(0x42, "N2\r\n");
    ReportMessage(0x80, "S3\r\n");
    ReportMessage(0x101, "L4\r\n");
    ReportMessage(0x40000002, "O5\r\n");
    ReportMessage(0x80000002, "V6\r\n");  // verbose off: nowhere
    g_report.switches |= SWITCH_VERBOSE;
    ReportMessage(0x80000002, "V7\r\n");
    g_report.switches = 0;
    ReportMessage(0x202, "D8\r\n");  // default messages off: nowhere
    ReportMessage(0x2, "%s has %d bytes", "x.dat", 12);

    g_report.logFile = nullptr;
    g_report.secondOutput = nullptr;
    CloseHandle(log);
    CloseHandle(second);
    EXPECT_EQ(ReadBack("report_log.txt"), "E1\r\nL4\r\nO5\r\nV7\r\nx.dat has 12 bytes");
    EXPECT_EQ(ReadBack("report_second.txt"), "E1\r\nN2\r\nL4\r\nV7\r\nx.dat has 12 bytes");
    EXPECT_EQ(ListEntries(), (Lines{"E1", "N2", "x.dat has 12 bytes"}));
    EXPECT_EQ(ControlText(IDC_STATUS_LINE), "S3");
    DeleteFileA("report_log.txt");
    DeleteFileA("report_second.txt");
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!MakeWindow()) {
        fprintf(stderr, "cannot create the test window (error %lu)\n", GetLastError());
        return 1;
    }
    int rc = RUN_ALL_TESTS();
    DestroyWindow(g_window);
    return rc;
}
