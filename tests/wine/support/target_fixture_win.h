// The fixture of the test programs that run memory targets: the target's
// files installed once, a scratch folder and a log per test, and the
// targets a test starts stopped again when it ends.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "target_control_win.h"
#include "wine_support.h"

class TargetFixture : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InstallTargetFiles("C:\\mendrix")); }

    void SetUp() override {
        folder = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        log = folder + "\\run.log";
    }
    void TearDown() override {
        for (Target& t : targets) StopTarget(&t);
    }

    Target& Start(const std::string& exe = "C:\\mendrix\\memory_target.exe") {
        targets.emplace_back();
        Target& t = targets.back();
        std::string report = folder + "\\target" + std::to_string(targets.size()) + ".txt";
        EXPECT_TRUE(StartTarget(exe, report, &t)) << exe;
        return t;
    }

    std::string folder;
    std::string log;
    std::vector<Target> targets;  // reserved below, so references stay valid

public:
    TargetFixture() { targets.reserve(8); }
};
