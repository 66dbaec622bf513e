// The end-of-run summary: which groups appear, their order and wording.
#include <gtest/gtest.h>

#include <string>

#include "app/summary.h"
#include "report/counters.h"
#include "report/message.h"
#include "script/parse_context.h"

namespace {

OutHandle const kLog = reinterpret_cast<OutHandle>(0x1);
std::string g_written;
void Write(OutHandle, const char* bytes, size_t count) { g_written.append(bytes, count); }
const MessageSinks kSinks = {Write, nullptr, nullptr, nullptr, nullptr};

std::string Summary(uint32_t flags, int32_t type) {
    ReportState saved = g_report;
    g_report = ReportState{kLog, nullptr, nullptr, SWITCH_DEFAULT_MESSAGES, &kSinks};
    g_written.clear();
    WriteSummary(flags, type);
    g_report = saved;
    return g_written;
}

}  // namespace

TEST(Summary, NoGroupGivesALineBreakOnly) {
    ResetCounters();
    EXPECT_EQ("\r\n", Summary(RUN_INITIAL_FLAGS | RUN_WINNT, THREAT_VIRUS));
}

TEST(Summary, GroupsInTheirOrderWithTheirCounters) {
    ResetCounters();
    for (int code = 1; code <= 16; ++code)
        for (int i = 0; i < code; ++i) CountEvent(code);
    uint32_t all = RUN_DID_FILES | RUN_DID_PROCESSES | RUN_DID_REGISTRY | RUN_DID_SHARES | RUN_DID_SERVICES |
                   RUN_DID_INIFILES;
    EXPECT_EQ(
        "\r\n"
        "\tProcesses found                     : 5\r\n"
        "\tProcesses terminated                : 22\r\n"
        "\tServices found                      : 12\r\n"
        "\tServices removed                    : 11\r\n"
        "\tIni file entries found              : 9\r\n"
        "\tIni file entries changed            : 10\r\n"
        "\tNetwork shares deleted              : 7\r\n"
        "\tRegistry keys affected              : 3\r\n"
        "\tRegistry keys changed               : 4\r\n"
        "\tFiles found                         : 1\r\n"
        "\tFiles deleted                       : 2\r\n"
        "\tFiles changed                       : 8\r\n",
        Summary(all, THREAT_WORM));
}

TEST(Summary, VirusWordingAndTheChangedLineOnlyWhenNotZero) {
    ResetCounters();
    CountEvent(EVENT_PROCESS_TERMINATED);
    CountEvent(EVENT_PROCESS_TERMINATED_ALIAS);
    EXPECT_EQ("\r\n\tProcesses found                     : 0\r\n\tProcesses terminated or disinfected : 2\r\n"
              "\tFiles found                         : 0\r\n\tFiles deleted                       : 0\r\n",
              Summary(RUN_DID_PROCESSES | RUN_DID_FILES, THREAT_VIRUS));
    CountEvent(EVENT_FILE_CHANGED);
    std::string text = Summary(RUN_DID_FILES, THREAT_VIRUS);
    EXPECT_NE(std::string::npos, text.find("\tInfected files disinfected          : 1\r\n")) << text;
    text = Summary(RUN_DID_FILES, THREAT_APPLICATION);
    EXPECT_NE(std::string::npos, text.find("\tFiles changed                       : 1\r\n")) << text;
}
