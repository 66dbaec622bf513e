// Reading and setting the security of what the mount shows, for the undo
// journal: the Windows descriptor of ntfs-3g (system.ntfs_acl) or of the
// kernel's ntfs3 driver (system.ntfs_security) where there is one, else the
// Unix owner and mode (journal_owner.h).
#pragma once
#include <string>

#include "undo/journal_trust.h"

// Opens a folder, or a regular file for reading, never through a link (and
// never blocking on a pipe a user left in its place). -1 when it cannot.
int OpenMountedForJudging(const std::string& posix, bool folder);
// Judges what fd leads to: its owner, and with a descriptor its access
// list when access is set. Unix modes are always judged whole: a file
// another account may write to is as good as theirs.
TrustVerdict JudgeMounted(int fd, bool access, std::string* who);
// Gives a folder or file the journal made the journal's descriptor, where
// the mount shows descriptors; elsewhere its mode is the one it was made
// with.
void GuardMounted(int fd);
// Reads what fd leads to, from its start. False at a read error or past limit.
bool ReadOpened(int fd, size_t limit, std::string* bytes);
