// The security of the journal on the NT family: the descriptor its folders
// and files are made with, and the owners and access lists of what is found
// there. The functions that read them are looked up at run time, since the
// 9x family, which has no security at all, lacks them; there nothing is
// guarded and nothing is checked.
#pragma once
#include <windows.h>

#include <string>

#include "undo/journal_trust.h"

// Whether the journal is guarded here: on the NT family.
bool JournalsGuarded();
// What the journal's folders and files are made with: the descriptor of
// JournalSecurityDescriptor, protected from inheritance on Windows 2000 and
// later. Null where nothing is guarded.
SECURITY_ATTRIBUTES* JournalSecurityAttributes();
// Judges what the handle (opened with READ_CONTROL) leads to: its owner,
// and its access list when access is set. TRUSTED where nothing is guarded.
TrustVerdict JudgeHandle(HANDLE handle, bool access, std::string* who);
