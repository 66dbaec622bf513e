// Whose journal it is, on a mounted installation. The offline run carries
// out what a journal holds as root on the installation, so a journal, or a
// folder to keep one in, counts only when no limited user of that
// installation could have made it or written to it. Where the mount shows a
// file's Windows security descriptor it is judged as the running program
// judges it, with Administrators and SYSTEM as the only trusted owners
// (nobody is logged on to an installation that is not running); where it
// shows none, by its Unix owner and mode. These are the parts that need no
// system.
#pragma once
#include <stdint.h>

#include <string>

#include "undo/journal_trust.h"

// A Unix owner and mode: trusted when root or the account running the
// program owns it and neither its group nor anyone else may write to it.
// *who: "uid N", "gid N" or "everyone", for the report.
TrustVerdict JudgeUnixOwner(uint32_t uid, uint32_t gid, uint32_t mode, uint32_t runningUid, std::string* who);

// The descriptor the journal's folders and files are given where the mount
// shows descriptors: the running program's, protected, with Administrators
// as the owner and SYSTEM as the group (a mount keeps no creator of its own
// to make the owner).
std::string OwnedJournalDescriptor();
