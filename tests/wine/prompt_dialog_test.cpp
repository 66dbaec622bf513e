// The window's questions on screen: a helper thread finds the message box
// or the confirmation dialog, reads what it shows and answers it the way a
// user would, while AskConfirmation waits for the answer.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "report/confirm.h"
#include "report/message.h"
#include "report/prompts.h"
#include "support/wine_support.h"
#include "ui/resource_ids.h"
#include "ui/window_prompts_win.h"

namespace {

HWND g_owner;

enum Press {
    PRESS_YES,
    PRESS_YES_TO_ALL,
    PRESS_NO,
    PRESS_OK,
    PRESS_ESCAPE_KEY,
    PRESS_RETURN_KEY,
    PRESS_CANCEL_COMMAND,
    PRESS_CLOSE_BOX,
    PRESS_CLOSE_MESSAGE,
};

struct Rect {
    int left, top, right, bottom;
};

// What the helper saw of the window it answered.
struct Seen {
    bool found = false;
    bool closed = false;  // went away after the press
    std::string caption;
    HWND owner = nullptr;
    bool ownerEnabled = true;
    std::string upper, lower;             // the dialog's two texts
    std::vector<std::string> statics;     // every static text (message boxes)
    std::vector<HICON> icons;             // icons of static controls
    bool hasYes = false, hasYesToAll = false, hasNo = false, hasOk = false;
    Rect client = {}, expectedClient = {};
    Rect icon = {}, upperBox = {}, lowerBox = {}, yes = {}, yesToAll = {}, no = {};
};

struct Answerer {
    DWORD wait = 10000;  // for the window to come up
    Press press;
    Seen seen;
    HANDLE thread;
};

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK FindPrompt(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == "#32770" &&
        TextOf(window) == "Mendrix") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForPrompt(DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 20) {
        HWND found = nullptr;
        EnumWindows(FindPrompt, reinterpret_cast<LPARAM>(&found));
        if (found) return found;
        Sleep(20);
    }
    return nullptr;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM seenParam) {
    Seen* seen = reinterpret_cast<Seen*>(seenParam);
    if (ClassOf(child) != "Static") return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        seen->icons.push_back(reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)));
    else
        seen->statics.push_back(TextOf(child));
    return TRUE;
}

// A control's place in the dialog's client area.
Rect PlaceOf(HWND dialog, int id) {
    RECT r = {};
    HWND control = GetDlgItem(dialog, id);
    if (!control) return Rect{-1, -1, -1, -1};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return Rect{r.left, r.top, r.right, r.bottom};
}

void Look(HWND box, Seen* seen) {
    seen->found = true;
    seen->caption = TextOf(box);
    seen->owner = GetWindow(box, GW_OWNER);
    seen->ownerEnabled = IsWindowEnabled(g_owner) != FALSE;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(seen));
    seen->hasYes = GetDlgItem(box, IDYES) != nullptr;
    seen->hasNo = GetDlgItem(box, IDNO) != nullptr;
    seen->hasOk = GetDlgItem(box, IDOK) != nullptr;
    seen->hasYesToAll = GetDlgItem(box, IDC_YES_TO_ALL) != nullptr;
    if (!seen->hasYesToAll) return;
    seen->upper = TextOf(GetDlgItem(box, IDC_PROMPT_UPPER));
    seen->lower = TextOf(GetDlgItem(box, IDC_PROMPT_LOWER));
    RECT client = {}, units = {0, 0, 200, 74};
    GetClientRect(box, &client);
    MapDialogRect(box, &units);
    seen->client = Rect{client.left, client.top, client.right, client.bottom};
    seen->expectedClient = Rect{units.left, units.top, units.right, units.bottom};
    seen->icon = PlaceOf(box, IDC_PROMPT_ICON);
    seen->upperBox = PlaceOf(box, IDC_PROMPT_UPPER);
    seen->lowerBox = PlaceOf(box, IDC_PROMPT_LOWER);
    seen->yes = PlaceOf(box, IDYES);
    seen->yesToAll = PlaceOf(box, IDC_YES_TO_ALL);
    seen->no = PlaceOf(box, IDNO);
}

HWND FocusOf(HWND box) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info) && info.hwndFocus) return info.hwndFocus;
    return box;
}

void Act(HWND box, Press press) {
    switch (press) {
    case PRESS_YES:
        PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        break;
    case PRESS_YES_TO_ALL:
        PostMessageA(GetDlgItem(box, IDC_YES_TO_ALL), BM_CLICK, 0, 0);
        break;
    case PRESS_NO:
        PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        break;
    case PRESS_OK:
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        break;
    case PRESS_ESCAPE_KEY:
        PostMessageA(FocusOf(box), WM_KEYDOWN, VK_ESCAPE, 1);
        break;
    case PRESS_RETURN_KEY:
        PostMessageA(FocusOf(box), WM_KEYDOWN, VK_RETURN, 1);
        break;
    case PRESS_CANCEL_COMMAND:
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case PRESS_CLOSE_BOX:
        PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case PRESS_CLOSE_MESSAGE:
        PostMessageA(box, WM_CLOSE, 0, 0);
        break;
    }
}

DWORD WINAPI Answer(void* parameter) {
    Answerer* answerer = static_cast<Answerer*>(parameter);
    HWND box = WaitForPrompt(answerer->wait);
    if (!box) return 0;
    Look(box, &answerer->seen);
    Act(box, answerer->press);
    for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
    answerer->seen.closed = !IsWindow(box);
    // Never leave the asking thread waiting: end the box some other way.
    if (IsWindow(box)) PostMessageA(box, WM_COMMAND, answerer->seen.hasOk ? IDOK : IDNO, 0);
    return 0;
}

void StartAnswering(Answerer* answerer, Press press) {
    answerer->press = press;
    answerer->seen = Seen();
    answerer->thread = CreateThread(nullptr, 0, Answer, answerer, 0, nullptr);
}

void FinishAnswering(Answerer* answerer) {
    WaitForSingleObject(answerer->thread, 30000);
    CloseHandle(answerer->thread);
}

// Windows the asking thread creates, counted by a hook.
int g_created;
LRESULT CALLBACK CountCreations(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) ++g_created;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int AskCounted(const char* question, const char* detail, int* created) {
    g_created = 0;
    HHOOK hook = SetWindowsHookExA(WH_CBT, CountCreations, nullptr, GetCurrentThreadId());
    int answer = AskConfirmation(question, detail);
    UnhookWindowsHookEx(hook);
    *created = g_created;
    return answer;
}

class Prompts : public testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MendrixPromptOwner";
        RegisterClassA(&wc);
        g_owner = CreateWindowExA(0, wc.lpszClassName, "prompt owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    }
    void SetUp() override {
        ASSERT_NE(g_owner, nullptr);
        savedReport_ = g_report;
        savedPrompts_ = g_prompts;
        g_report.mainWindow = g_owner;
        g_prompts = WindowPrompts();
        g_runOptions.confirm = 1;
        InstallRunOptions(&g_runOptions);
    }
    void TearDown() override {
        g_report = savedReport_;
        g_prompts = savedPrompts_;
        g_yesToAll = 0;
    }
    ReportState savedReport_;
    const PromptPort* savedPrompts_;
};

const char kQuestion[] = "Delete the file?";
const char kDetail[] = "Virus found in file\nC:\\infected.exe";

struct DialogRow {
    int row;
    Press press;
    int answer;
    int yesToAll;
};

const DialogRow kDialogRows[] = {
    {1, PRESS_YES, 'Y', 0},
    {2, PRESS_YES_TO_ALL, 'Y', 1},
    {3, PRESS_NO, 'N', 0},
    {4, PRESS_ESCAPE_KEY, 'N', 0},
    {5, PRESS_RETURN_KEY, 'Y', 0},  // Yes is the default button
    {6, PRESS_CANCEL_COMMAND, 'N', 0},
    {7, PRESS_CLOSE_BOX, 'N', 0},
    {8, PRESS_CLOSE_MESSAGE, 'N', 0},
};

TEST_F(Prompts, DialogAnswersByButtonKeyAndCloseBox) {
    for (const DialogRow& r : kDialogRows) {
        InstallRunOptions(&g_runOptions);
        Answerer answerer;
        StartAnswering(&answerer, r.press);
        int answer = AskConfirmation(kQuestion, kDetail);
        FinishAnswering(&answerer);
        const Seen& s = answerer.seen;
        ASSERT_TRUE(s.found) << "row " << r.row << ": no dialog came up";
        EXPECT_TRUE(s.closed) << "row " << r.row;
        EXPECT_EQ(answer, r.answer) << "row " << r.row;
        EXPECT_EQ(g_yesToAll, r.yesToAll) << "row " << r.row;
        EXPECT_EQ(s.upper, kDetail) << "row " << r.row;
        EXPECT_EQ(s.lower, kQuestion) << "row " << r.row;
        EXPECT_EQ(s.owner, g_owner) << "row " << r.row;
        EXPECT_FALSE(s.ownerEnabled) << "row " << r.row << ": the owner is disabled while the dialog is up";
        EXPECT_TRUE(IsWindowEnabled(g_owner)) << "row " << r.row;
    }
}

TEST_F(Prompts, DialogShowsTheQuestionIconAndItsButtonsInOrder) {
    Answerer answerer;
    StartAnswering(&answerer, PRESS_NO);
    AskConfirmation(kQuestion, kDetail);
    FinishAnswering(&answerer);
    const Seen& s = answerer.seen;
    ASSERT_TRUE(s.found);
    EXPECT_EQ(s.caption, "Mendrix");
    EXPECT_TRUE(s.hasYes && s.hasYesToAll && s.hasNo);
    ASSERT_EQ(s.icons.size(), 1u);
    EXPECT_EQ(s.icons[0], LoadIconA(nullptr, IDI_QUESTION));
    // 200 by 74 dialog units.
    EXPECT_EQ(s.client.right, s.expectedClient.right);
    EXPECT_EQ(s.client.bottom, s.expectedClient.bottom);
    // Buttons in one row along the bottom: Yes, Yes to All, No.
    EXPECT_EQ(s.yes.top, s.yesToAll.top);
    EXPECT_EQ(s.yes.top, s.no.top);
    EXPECT_LT(s.yes.right, s.yesToAll.left);
    EXPECT_LT(s.yesToAll.right, s.no.left);
    EXPECT_GT(s.yes.top, s.lowerBox.bottom);
    EXPECT_GT(s.yes.bottom, s.client.bottom * 3 / 4);
    // Icon top left, the texts right of it, the upper above the lower.
    EXPECT_LT(s.icon.left, s.client.right / 4);
    EXPECT_LT(s.icon.top, s.client.bottom / 4);
    EXPECT_LE(s.icon.right, s.upperBox.left);
    EXPECT_LE(s.icon.right, s.lowerBox.left);
    EXPECT_LE(s.upperBox.bottom, s.lowerBox.top);
    // Room for two lines above, one below.
    EXPECT_GE(s.upperBox.bottom - s.upperBox.top, 2 * (s.lowerBox.bottom - s.lowerBox.top) - 2);
}

TEST_F(Prompts, EmptyDetailPutsTheQuestionAboveAndStillOffersYesToAll) {
    Answerer answerer;
    StartAnswering(&answerer, PRESS_YES_TO_ALL);
    int answer = AskConfirmation(kQuestion, "");
    FinishAnswering(&answerer);
    ASSERT_TRUE(answerer.seen.found);
    EXPECT_EQ(answerer.seen.upper, kQuestion);
    EXPECT_EQ(answerer.seen.lower, "");
    EXPECT_EQ(answer, 'Y');
    EXPECT_EQ(g_yesToAll, 1);
}

// After Yes to All nothing is shown until the next run installs its options.
TEST_F(Prompts, YesToAllAnswersTheRestOfTheRunWithoutAWindow) {
    int created = 0;
    Answerer answerer;
    StartAnswering(&answerer, PRESS_YES_TO_ALL);
    ASSERT_EQ(AskCounted(kQuestion, kDetail, &created), 'Y');
    FinishAnswering(&answerer);
    ASSERT_TRUE(answerer.seen.found);
    EXPECT_GT(created, 0) << "the hook must see the dialog's windows";

    struct Row {
        int row;
        const char* detail;
    };
    const Row rows[] = {{1, kDetail}, {2, ""}, {3, nullptr}};
    for (const Row& r : rows) {
        // A window that comes up after all is answered rather than hung on.
        Answerer guard;
        guard.wait = 1000;
        StartAnswering(&guard, PRESS_NO);
        EXPECT_EQ(AskCounted(kQuestion, r.detail, &created), 'Y') << "row " << r.row;
        FinishAnswering(&guard);
        EXPECT_EQ(created, 0) << "row " << r.row;
        EXPECT_FALSE(guard.seen.found) << "row " << r.row;
    }

    InstallRunOptions(&g_runOptions);
    StartAnswering(&answerer, PRESS_NO);
    EXPECT_EQ(AskConfirmation(kQuestion, kDetail), 'N');
    FinishAnswering(&answerer);
    EXPECT_TRUE(answerer.seen.found) << "a new run asks again";
}

struct BoxRow {
    int row;
    Press press;
    int answer;
};

const BoxRow kBoxRows[] = {
    {1, PRESS_YES, 'Y'},
    {2, PRESS_NO, 'N'},
    {3, PRESS_RETURN_KEY, 'Y'},
};

TEST_F(Prompts, MessageBoxAsksYesOrNoAndNeverSetsYesToAll) {
    for (const BoxRow& r : kBoxRows) {
        Answerer answerer;
        StartAnswering(&answerer, r.press);
        int answer = AskConfirmation("Remove share DATA?", nullptr);
        FinishAnswering(&answerer);
        const Seen& s = answerer.seen;
        ASSERT_TRUE(s.found) << "row " << r.row;
        EXPECT_EQ(answer, r.answer) << "row " << r.row;
        EXPECT_EQ(g_yesToAll, 0) << "row " << r.row;
        EXPECT_EQ(s.caption, "Mendrix") << "row " << r.row;
        EXPECT_EQ(s.owner, g_owner) << "row " << r.row;
        EXPECT_TRUE(s.hasYes && s.hasNo) << "row " << r.row;
        EXPECT_FALSE(s.hasYesToAll) << "row " << r.row;
        EXPECT_NE(std::find(s.statics.begin(), s.statics.end(), "Remove share DATA?"), s.statics.end())
            << "row " << r.row;
        ASSERT_EQ(s.icons.size(), 1u) << "row " << r.row;
        EXPECT_EQ(s.icons[0], LoadIconA(nullptr, IDI_QUESTION)) << "row " << r.row;
    }
}

TEST_F(Prompts, InformationBoxShowsTheTextWithOk) {
    Answerer answerer;
    StartAnswering(&answerer, PRESS_OK);
    g_prompts->showInformation(g_owner, "Restart the computer now.", kCaption);
    FinishAnswering(&answerer);
    const Seen& s = answerer.seen;
    ASSERT_TRUE(s.found);
    EXPECT_TRUE(s.closed);
    EXPECT_EQ(s.caption, "Mendrix");
    EXPECT_EQ(s.owner, g_owner);
    EXPECT_TRUE(s.hasOk);
    EXPECT_FALSE(s.hasYes || s.hasNo);
    EXPECT_NE(std::find(s.statics.begin(), s.statics.end(), "Restart the computer now."), s.statics.end());
    ASSERT_EQ(s.icons.size(), 1u);
    EXPECT_EQ(s.icons[0], LoadIconA(nullptr, IDI_INFORMATION));
}

// As in a scan: the worker thread asks, the window thread owns the main
// window and keeps pumping its messages.
struct WorkerQuestion {
    const char* detail;
    int answer;
};

DWORD WINAPI AskOnWorker(void* parameter) {
    WorkerQuestion* q = static_cast<WorkerQuestion*>(parameter);
    q->answer = AskConfirmation(kQuestion, q->detail);
    return 0;
}

TEST_F(Prompts, WorkerAsksWhileTheWindowThreadPumps) {
    struct Row {
        int row;
        const char* detail;
        Press press;
        int answer;
    };
    const Row rows[] = {
        {1, kDetail, PRESS_YES, 'Y'},
        {2, kDetail, PRESS_ESCAPE_KEY, 'N'},
        {3, nullptr, PRESS_NO, 'N'},
    };
    for (const Row& r : rows) {
        Answerer answerer;
        StartAnswering(&answerer, r.press);
        WorkerQuestion question = {r.detail, 0};
        HANDLE worker = CreateThread(nullptr, 0, AskOnWorker, &question, 0, nullptr);
        ASSERT_NE(worker, nullptr);
        while (MsgWaitForMultipleObjects(1, &worker, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        CloseHandle(worker);
        FinishAnswering(&answerer);
        EXPECT_TRUE(answerer.seen.found) << "row " << r.row;
        EXPECT_EQ(answerer.seen.owner, g_owner) << "row " << r.row;
        EXPECT_EQ(question.answer, r.answer) << "row " << r.row;
        EXPECT_TRUE(IsWindowEnabled(g_owner)) << "row " << r.row;
    }
}

TEST_F(Prompts, QuestionsThatCannotBeShownAnswerNo) {
    g_report.mainWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ff0));  // no such window
    struct Row {
        int row;
        const char* detail;
    };
    const Row rows[] = {{1, kDetail}, {2, nullptr}};
    for (const Row& r : rows) {
        // Should a box come up after all, it is answered rather than hung on.
        Answerer answerer;
        answerer.wait = 2000;
        StartAnswering(&answerer, PRESS_YES);
        EXPECT_EQ(AskConfirmation(kQuestion, r.detail), 'N') << "row " << r.row;
        FinishAnswering(&answerer);
        EXPECT_FALSE(answerer.seen.found) << "row " << r.row;
    }
    EXPECT_EQ(g_yesToAll, 0);
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
