// Whose journal it is. On the NT family the journal's folders are made with
// an access list that lets only Administrators and SYSTEM in; a folder or
// manifest found there is used only when it belongs to Administrators,
// SYSTEM or the account running the program, and a folder only when no one
// else may write to it. These are the parts that need no system: the
// descriptor the folders are made with, and the reading of the descriptors
// the system answers (self-relative, as bytes).
#pragma once
#include <stdint.h>

#include <string>

// A self-relative security descriptor with no owner and no group (the
// system makes the creator the owner) and an access list of two entries:
// full control for Administrators and for SYSTEM, inherited by every file
// and folder below. protect: the access list takes nothing from the
// folder's parent (Windows 2000 and later; NT 4 inherits nothing after the
// creation anyway, and knows no such flag).
std::string JournalSecurityDescriptor(bool protect);

// The SIDs, as bytes.
std::string AdministratorsSid();
std::string SystemSid();

enum TrustVerdict {
    TRUSTED,
    TRUST_UNREADABLE,     // the descriptor is malformed or lacks the owner
    TRUST_FOREIGN_OWNER,  // it belongs to another account
    TRUST_OTHERS_WRITE,   // its access list lets another account write or take it
};

// Judges a descriptor read with its owner (and, when access is asked for,
// its access list). user: the SID of the account running the program.
// *who: the SID in question, as text, for the report.
TrustVerdict JudgeSecurity(const std::string& descriptor, const std::string& user, bool access, std::string* who);

// Why a thing of the given name ("folder", "manifest") is not trusted,
// for the report: "its folder belongs to another account (S-1-5-7)"; with
// no name, "it belongs to another account (S-1-5-7)".
std::string TrustProblem(TrustVerdict verdict, const char* thing, const std::string& who);

// "S-1-5-32-544"; "" for bytes that are no SID.
std::string SidText(const std::string& sid);
