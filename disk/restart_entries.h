// The two lists of changes Windows makes to files when it next starts, as
// text: the [rename] section of WININIT.INI on the 9x family, and the
// PendingFileRenameOperations value on the NT family. Entries of other
// programs are kept as they are, in their order.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// WININIT.INI's text with line added at the end of its [rename] section,
// or with the section added at the end of the file where there is none.
// Windows reads every line of the section in turn, so a name that is there
// already ("NUL=" once for each file to delete) is never replaced. Lines
// end in CR LF.
std::string WithRenameLine(const std::string& text, const std::string& line);

// Takes the last line of the [rename] section that reads line (letter case
// and surrounding blanks aside) out of the text. False when there is none.
bool TakeOutRenameLine(std::string* text, const std::string& line);

// Whether name, a file name without its folder, is a short name as the 9x
// family's start-up writes it: one to eight characters, optionally a dot
// and one to three more, none of them a blank or one a file name cannot
// hold.
bool IsShortFileName(const char* name);

// The pending operations' value: UTF-16 strings, each ending in 0, in pairs
// of source and destination (an empty destination deletes the source),
// after the last pair one more 0. Takes out the last pair whose source is
// source (ASCII letters compared without regard to case) and whose
// destination is empty for a delete, not empty for a move. False when
// there is none. What follows the last pair is kept.
bool TakeOutPendingOperation(std::vector<uint16_t>* value, const std::vector<uint16_t>& source, bool move);
// Whether the value holds no pair at all.
bool NoPendingOperations(const std::vector<uint16_t>& value);
