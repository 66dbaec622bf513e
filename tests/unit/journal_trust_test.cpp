// Whose journal it is, without a system: the security descriptor the
// journal's folders are made with, byte for byte, and the judging of the
// descriptors the system answers for what is found there.
#include <gtest/gtest.h>

#include <string>

#include "undo/journal_trust.h"

namespace {

std::string Le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16)); }

// S-1-<authority>-<sub>...
std::string Sid(uint8_t authority, std::initializer_list<uint32_t> sub) {
    std::string sid = {1, static_cast<char>(sub.size()), 0, 0, 0, 0, 0, static_cast<char>(authority)};
    for (uint32_t s : sub) sid += Le32(s);
    return sid;
}

std::string Ace(uint8_t type, uint8_t flags, uint32_t mask, const std::string& sid) {
    return std::string{static_cast<char>(type), static_cast<char>(flags)} +
           Le16(static_cast<uint16_t>(8 + sid.size())) + Le32(mask) + sid;
}

std::string Acl(const std::string& aces, uint16_t count) {
    return std::string{2, 0} + Le16(static_cast<uint16_t>(8 + aces.size())) + Le16(count) + Le16(0) + aces;
}

// A self-relative descriptor with its owner and access list after the
// header; an empty acl leaves the access list out.
std::string Descriptor(const std::string& owner, const std::string& acl, uint16_t control = 0x8004) {
    uint32_t ownerAt = owner.empty() ? 0 : 20, aclAt = acl.empty() ? 0 : 20 + static_cast<uint32_t>(owner.size());
    return std::string{1, 0} + Le16(control) + Le32(ownerAt) + Le32(0) + Le32(0) + Le32(aclAt) + owner + acl;
}

const std::string kAdmins = Sid(5, {32, 544});
const std::string kSystem = Sid(5, {18});
const std::string kUser = Sid(5, {21, 1, 2, 3, 1000});
const std::string kUsers = Sid(5, {32, 545});
const std::string kEveryone = Sid(1, {0});
const std::string kCreatorOwner = Sid(3, {0});
const std::string kAnonymous = Sid(5, {7});
const uint32_t kFull = 0x001F01FF, kRead = 0x001200A9;

TEST(JournalSecurity, DescriptorGrantsAdministratorsAndSystemAloneAndIsProtected) {
    std::string aces = Ace(0, 3, kFull, kAdmins) + Ace(0, 3, kFull, kSystem);
    EXPECT_EQ(Descriptor("", Acl(aces, 2), 0x9004), JournalSecurityDescriptor(true));
    EXPECT_EQ(Descriptor("", Acl(aces, 2), 0x8004), JournalSecurityDescriptor(false)) << "NT 4: nothing to protect";
    EXPECT_EQ(72u, JournalSecurityDescriptor(true).size());
    EXPECT_EQ(kAdmins, AdministratorsSid());
    EXPECT_EQ(kSystem, SystemSid());
}

struct JudgeRow {
    int row;
    std::string descriptor;
    bool access;
    TrustVerdict verdict;
    const char* who;
};

TEST(JournalSecurity, OwnersAndWritersAreJudged) {
    const std::string fine = Acl(Ace(0, 3, kFull, kAdmins) + Ace(0, 3, kFull, kSystem) + Ace(0, 3, kFull, kUser) +
                                     Ace(0, 0, kRead, kEveryone) + Ace(0, 0x0B, kFull, kCreatorOwner) +
                                     Ace(1, 0, kFull, kUsers),
                                 6);
    const JudgeRow rows[] = {
        {1, Descriptor(kAdmins, fine), true, TRUSTED, ""},
        {2, Descriptor(kSystem, fine), true, TRUSTED, ""},
        {3, Descriptor(kUser, fine), true, TRUSTED, ""},
        {4, Descriptor(kAnonymous, fine), true, TRUST_FOREIGN_OWNER, "S-1-5-7"},
        {5, Descriptor(kUsers, ""), false, TRUST_FOREIGN_OWNER, "S-1-5-32-545"},
        // only the owner is asked for
        {6, Descriptor(kAdmins, ""), false, TRUSTED, ""},
        // no access list lets everyone in
        {7, Descriptor(kAdmins, ""), true, TRUST_OTHERS_WRITE, "S-1-1-0"},
        {8, Descriptor(kAdmins, fine, 0x8000), true, TRUST_OTHERS_WRITE, "S-1-1-0"},
        // Users may add folders (as on a 2000 or XP system drive's root),
        // inherited by files only, or everyone may write
        {9, Descriptor(kAdmins, Acl(Ace(0, 2, 0x4, kUsers), 1)), true, TRUST_OTHERS_WRITE, "S-1-5-32-545"},
        {10, Descriptor(kAdmins, Acl(Ace(0, 0x09, 0x2, kUsers), 1)), true, TRUST_OTHERS_WRITE, "S-1-5-32-545"},
        {11, Descriptor(kAdmins, Acl(Ace(0, 3, 0x40000000, kEveryone), 1)), true, TRUST_OTHERS_WRITE, "S-1-1-0"},
        {12, Descriptor(kAdmins, Acl(Ace(0, 3, 0x00080000, kUsers), 1)), true, TRUST_OTHERS_WRITE, "S-1-5-32-545"},
        // an allowing entry of a kind not read cannot be cleared
        {13, Descriptor(kAdmins, Acl(Ace(5, 0, kFull, kUsers), 1)), true, TRUST_OTHERS_WRITE,
         "an entry of a kind this program does not read"},
        // without the running account's SID, only the two are trusted
        {14, Descriptor(kUser, ""), false, TRUST_FOREIGN_OWNER, "S-1-5-21-1-2-3-1000"},
        // malformed: short, not self-relative, an owner or list past the end
        {15, std::string(10, '\0'), false, TRUST_UNREADABLE, ""},
        {16, Descriptor(kAdmins, fine, 0x0004), true, TRUST_UNREADABLE, ""},
        {17, Descriptor(kAdmins, fine).substr(0, 30), false, TRUST_UNREADABLE, ""},
        {18, Descriptor(kAdmins, fine).substr(0, 60), true, TRUST_UNREADABLE, ""},
        {19, Descriptor("", fine), false, TRUST_UNREADABLE, ""},
        {20, Descriptor(kAdmins, Acl(Ace(0, 0, kFull, kAdmins), 2)), true, TRUST_UNREADABLE, ""},
    };
    for (const JudgeRow& r : rows) {
        std::string who = "stale";
        EXPECT_EQ(r.verdict, JudgeSecurity(r.descriptor, r.row == 14 ? std::string() : kUser, r.access, &who))
            << "row " << r.row;
        EXPECT_EQ(r.who, who) << "row " << r.row;
    }
}

TEST(JournalSecurity, ProblemsAndSidsAreWorded) {
    EXPECT_EQ("its folder belongs to another account (S-1-5-7)", TrustProblem(TRUST_FOREIGN_OWNER, "folder", "S-1-5-7"));
    EXPECT_EQ("it lets another account write to it (S-1-1-0)", TrustProblem(TRUST_OTHERS_WRITE, nullptr, "S-1-1-0"));
    EXPECT_EQ("the security of its manifest cannot be read", TrustProblem(TRUST_UNREADABLE, "manifest", ""));
    EXPECT_EQ("its security cannot be read", TrustProblem(TRUST_UNREADABLE, nullptr, ""));
    EXPECT_EQ("", TrustProblem(TRUSTED, "folder", ""));
    EXPECT_EQ("S-1-5-32-544", SidText(kAdmins));
    EXPECT_EQ("S-1-5-21-1-2-3-1000", SidText(kUser));
    EXPECT_EQ("S-1-5-4294967295", SidText(Sid(5, {0xFFFFFFFFu})));
    EXPECT_EQ("", SidText(kAdmins.substr(0, 12)));
    EXPECT_EQ("", SidText(kAdmins + "x"));
}

}  // namespace
