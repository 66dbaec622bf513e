#include "report/confirm.h"

#include "report/message.h"
#include "report/prompts.h"

int32_t g_yesToAll = 0;

int AskConfirmation(const char* question, const char* detail) {
    if (g_yesToAll) return 'Y';
    if (!g_prompts) return 'N';  // no one to ask: the step does not happen
    if (!detail) {
        if (!g_prompts->askYesNo) return 'N';
        return g_prompts->askYesNo(g_report.mainWindow, question, kCaption) == 'Y' ? 'Y' : 'N';
    }
    if (!g_prompts->askYesAllNo) return 'N';
    // A detail goes above the question; without one the question moves up.
    const char* upper = *detail ? detail : question;
    const char* lower = *detail ? question : "";
    int answer = g_prompts->askYesAllNo(g_report.mainWindow, upper, lower);
    if (answer == 'A') {
        g_yesToAll = 1;
        return 'Y';
    }
    return answer == 'Y' ? 'Y' : 'N';
}
