// Whose journal it is on a mount that shows no Windows descriptor: the
// Unix owner and mode, judged as the running program judges an owner and
// an access list; and the descriptor the journal is given where the mount
// shows one, which the running program's judging then trusts.
#include <gtest/gtest.h>

#include <string>

#include "offline/journal_owner.h"

namespace {

struct OwnerRow {
    int row;
    uint32_t uid, gid, mode;
    TrustVerdict verdict;
    const char* who;
};

const uint32_t kRunning = 500;

const OwnerRow kOwnerRows[] = {
    {1, 0, 0, 040700, TRUSTED, ""},
    {2, 0, 0, 040755, TRUSTED, ""},
    {3, kRunning, 100, 0100600, TRUSTED, ""},
    {4, 1000, 1000, 040700, TRUST_FOREIGN_OWNER, "uid 1000"},
    {5, 1000, 0, 0100666, TRUST_FOREIGN_OWNER, "uid 1000"},  // the owner is named first
    {6, 0, 0, 040777, TRUST_OTHERS_WRITE, "everyone"},
    {7, 0, 0, 041777, TRUST_OTHERS_WRITE, "everyone"},  // sticky: others still add to it
    {8, 0, 100, 040775, TRUST_OTHERS_WRITE, "gid 100"},
};

TEST(OfflineJournalOwner, UnixOwnerAndMode) {
    for (const OwnerRow& r : kOwnerRows) {
        std::string who = "stale";
        EXPECT_EQ(r.verdict, JudgeUnixOwner(r.uid, r.gid, r.mode, kRunning, &who)) << "row " << r.row;
        EXPECT_EQ(r.who, who) << "row " << r.row;
    }
    std::string who;
    EXPECT_EQ("its folder belongs to another account (uid 1000)",
              TrustProblem(JudgeUnixOwner(1000, 0, 040700, kRunning, &who), "folder", who));
    EXPECT_EQ("it lets another account write to it (everyone)",
              TrustProblem(JudgeUnixOwner(0, 0, 040777, kRunning, &who), nullptr, who));
}

TEST(OfflineJournalOwner, OwnedDescriptorIsTrustedWithNobodyLoggedOn) {
    std::string sd = OwnedJournalDescriptor(), who;
    EXPECT_EQ(TRUSTED, JudgeSecurity(sd, "", true, &who)) << who;
    EXPECT_EQ(JournalSecurityDescriptor(true), sd.substr(0, 72).replace(4, 8, std::string(8, '\0')));
    EXPECT_EQ(AdministratorsSid() + SystemSid(), sd.substr(72));
}

}  // namespace
