#include "undo/journal_trust.h"

#include <string.h>

namespace {

// The layout of a self-relative descriptor and of its access list, as the
// NT family defines them: little-endian fields at fixed offsets.
enum {
    SD_REVISION = 1,
    SD_HEADER_SIZE = 20,  // revision, padding, control, then the four offsets
    SD_OWNER_AT = 4,
    SD_DACL_AT = 16,
    SD_DACL_PRESENT = 0x0004,
    SD_DACL_PROTECTED = 0x1000,
    SD_SELF_RELATIVE = 0x8000,
    ACL_REVISION_2 = 2,
    ACL_HEADER_SIZE = 8,
    ACE_HEADER_SIZE = 4,
    ACE_ALLOWED = 0,
    ACE_INHERIT_TO_ALL = 0x03,  // object and container inherit
    SID_HEADER_SIZE = 8,
};

// FILE_ALL_ACCESS: the full control the journal's folders grant.
const uint32_t kFullControl = 0x001F01FF;

// Rights that let their holder change a folder or what is in it, or take it
// over: write data or add a file, append data or add a folder, write
// extended attributes, delete a child, write attributes, delete, write the
// access list, take ownership, generic write and all, and the most allowed.
const uint32_t kWriteRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 | 0x00000100 | 0x00010000 |
                              0x00040000 | 0x00080000 | 0x02000000 | 0x10000000 | 0x40000000;

// Entry types that allow: the plain one, whose SID is read, and the
// compound, object and callback kinds, which this program does not read and
// so cannot clear.
bool AllowsAccess(uint8_t type) { return type == 0 || type == 4 || type == 5 || type == 9 || type == 11; }

void Put16(std::string* out, size_t at, uint16_t value) {
    (*out)[at] = static_cast<char>(value & 0xFF);
    (*out)[at + 1] = static_cast<char>(value >> 8);
}
void Put32(std::string* out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
uint16_t Get16(const std::string& in, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(in[at]) | static_cast<uint8_t>(in[at + 1]) << 8);
}
uint32_t Get32(const std::string& in, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(in[at + i]);
    return value;
}

// A SID of the NT authority (5) with its sub-authorities.
std::string NtSid(const uint32_t* sub, uint8_t count) {
    std::string sid(SID_HEADER_SIZE + 4u * count, '\0');
    sid[0] = 1;
    sid[1] = static_cast<char>(count);
    sid[7] = 5;
    for (uint8_t i = 0; i < count; ++i) Put32(&sid, SID_HEADER_SIZE + 4u * i, sub[i]);
    return sid;
}

// The length of the SID at the offset, or 0 when there is none whole.
size_t SidLength(const std::string& in, size_t at) {
    if (at + SID_HEADER_SIZE > in.size() || in[at] != 1) return 0;
    size_t length = SID_HEADER_SIZE + 4u * static_cast<uint8_t>(in[at + 1]);
    return at + length <= in.size() ? length : 0;
}

std::string AccessAllowed(const std::string& sid) {
    std::string ace(ACE_HEADER_SIZE + 4, '\0');
    ace[0] = ACE_ALLOWED;
    ace[1] = ACE_INHERIT_TO_ALL;
    Put16(&ace, 2, static_cast<uint16_t>(ace.size() + sid.size()));
    Put32(&ace, ACE_HEADER_SIZE, kFullControl);
    return ace + sid;
}

// CREATOR OWNER (S-1-3-0) stands for whoever creates a file below: in a
// folder only trusted accounts can write to, that is one of them.
bool IsCreatorOwner(const std::string& sid) { return sid == std::string("\x01\x01\0\0\0\0\0\x03\0\0\0\0", 12); }

bool Trusted(const std::string& sid, const std::string& user) {
    return sid == AdministratorsSid() || sid == SystemSid() || (!user.empty() && sid == user);
}

// Looks through the access list at the offset for an entry that lets an
// untrusted account write. False when the list is malformed.
bool ReadAccessList(const std::string& in, size_t at, const std::string& user, TrustVerdict* verdict,
                    std::string* who) {
    if (at + ACL_HEADER_SIZE > in.size()) return false;
    size_t end = at + Get16(in, at + 2);
    if (end > in.size() || end < at + ACL_HEADER_SIZE) return false;
    unsigned count = Get16(in, at + 4);
    size_t ace = at + ACL_HEADER_SIZE;
    for (unsigned i = 0; i < count; ++i) {
        if (ace + ACE_HEADER_SIZE > end) return false;
        uint8_t type = static_cast<uint8_t>(in[ace]);
        size_t size = Get16(in, ace + 2);
        if (size < ACE_HEADER_SIZE || ace + size > end) return false;
        if (AllowsAccess(type)) {
            std::string sid;
            if (type == ACE_ALLOWED) {
                size_t sidLength = size >= ACE_HEADER_SIZE + 4 ? SidLength(in.substr(0, ace + size), ace + 8) : 0;
                if (!sidLength) return false;
                sid = in.substr(ace + 8, sidLength);
            }
            uint32_t mask = size >= ACE_HEADER_SIZE + 4 ? Get32(in, ace + ACE_HEADER_SIZE) : kWriteRights;
            // Inherit-only entries count too: they give their rights to
            // what is made below.
            if ((mask & kWriteRights) && (sid.empty() || (!Trusted(sid, user) && !IsCreatorOwner(sid)))) {
                *verdict = TRUST_OTHERS_WRITE;
                *who = sid.empty() ? std::string("an entry of a kind this program does not read") : SidText(sid);
                return true;
            }
        }
        ace += size;
    }
    return true;
}

}  // namespace

std::string AdministratorsSid() {
    static const uint32_t kSub[] = {32, 544};
    return NtSid(kSub, 2);
}

std::string SystemSid() {
    static const uint32_t kSub[] = {18};
    return NtSid(kSub, 1);
}

std::string JournalSecurityDescriptor(bool protect) {
    std::string admins = AccessAllowed(AdministratorsSid()), system = AccessAllowed(SystemSid());
    std::string acl(ACL_HEADER_SIZE, '\0');
    acl[0] = ACL_REVISION_2;
    Put16(&acl, 2, static_cast<uint16_t>(ACL_HEADER_SIZE + admins.size() + system.size()));
    Put16(&acl, 4, 2);
    std::string sd(SD_HEADER_SIZE, '\0');
    sd[0] = SD_REVISION;
    Put16(&sd, 2, SD_SELF_RELATIVE | SD_DACL_PRESENT | (protect ? SD_DACL_PROTECTED : 0));
    Put32(&sd, SD_DACL_AT, SD_HEADER_SIZE);
    return sd + acl + admins + system;
}

TrustVerdict JudgeSecurity(const std::string& in, const std::string& user, bool access, std::string* who) {
    who->clear();
    if (in.size() < SD_HEADER_SIZE || in[0] != SD_REVISION || !(Get16(in, 2) & SD_SELF_RELATIVE))
        return TRUST_UNREADABLE;
    uint32_t ownerAt = Get32(in, SD_OWNER_AT);
    size_t ownerLength = ownerAt ? SidLength(in, ownerAt) : 0;
    if (!ownerLength) return TRUST_UNREADABLE;
    std::string owner = in.substr(ownerAt, ownerLength);
    if (!Trusted(owner, user)) {
        *who = SidText(owner);
        return TRUST_FOREIGN_OWNER;
    }
    if (!access) return TRUSTED;
    uint32_t daclAt = Get32(in, SD_DACL_AT);
    // No access list at all lets everyone in.
    if (!(Get16(in, 2) & SD_DACL_PRESENT) || daclAt == 0) {
        *who = "S-1-1-0";
        return TRUST_OTHERS_WRITE;
    }
    TrustVerdict verdict = TRUSTED;
    if (!ReadAccessList(in, daclAt, user, &verdict, who)) return TRUST_UNREADABLE;
    return verdict;
}

std::string TrustProblem(TrustVerdict verdict, const char* thing, const std::string& who) {
    std::string its = thing ? std::string("its ") + thing : std::string("it");
    switch (verdict) {
    case TRUSTED:
        break;
    case TRUST_UNREADABLE:
        return thing ? "the security of " + its + " cannot be read" : std::string("its security cannot be read");
    case TRUST_FOREIGN_OWNER:
        return its + " belongs to another account (" + who + ")";
    case TRUST_OTHERS_WRITE:
        return its + " lets another account write to it (" + who + ")";
    }
    return "";
}

std::string SidText(const std::string& sid) {
    size_t length = SidLength(sid, 0);
    if (!length || length != sid.size()) return "";
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | static_cast<uint8_t>(sid[i]);
    std::string text = "S-1-" + std::to_string(authority);
    for (size_t at = SID_HEADER_SIZE; at < length; at += 4) text += "-" + std::to_string(Get32(sid, at));
    return text;
}
