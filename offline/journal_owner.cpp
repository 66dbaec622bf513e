#include "offline/journal_owner.h"

namespace {

const uint32_t kGroupWrite = 0020, kOthersWrite = 0002;
// Where a self-relative descriptor keeps the offsets of its owner and group.
const size_t kOwnerAt = 4, kGroupAt = 8;

void Put32(std::string* out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

TrustVerdict JudgeUnixOwner(uint32_t uid, uint32_t gid, uint32_t mode, uint32_t runningUid, std::string* who) {
    who->clear();
    if (uid != 0 && uid != runningUid) {
        *who = "uid " + std::to_string(uid);
        return TRUST_FOREIGN_OWNER;
    }
    if (mode & kOthersWrite) {
        *who = "everyone";
        return TRUST_OTHERS_WRITE;
    }
    if (mode & kGroupWrite) {
        *who = "gid " + std::to_string(gid);
        return TRUST_OTHERS_WRITE;
    }
    return TRUSTED;
}

std::string OwnedJournalDescriptor() {
    std::string sd = JournalSecurityDescriptor(true);
    Put32(&sd, kOwnerAt, static_cast<uint32_t>(sd.size()));
    sd += AdministratorsSid();
    Put32(&sd, kGroupAt, static_cast<uint32_t>(sd.size()));
    return sd + SystemSid();
}
