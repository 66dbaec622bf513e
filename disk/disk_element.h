// The DISK element and its DIRECTORY and FILE children: the directory list
// and the FILE list are built while DISK is open and searched at its end.
#pragma once
#include "script/parse_context.h"

// Opens an empty FILE list.
void OnDiskStart(ParseContext* context, const char* name, const char** attributes);
// Writes the heading, suspends the on-access scanner and walks the lists
// (unless the run skips the disk), then releases both lists. The scan run
// also calls it when the run stops while a DISK is open.
void OnDiskEnd(ParseContext* context, const char* name);
// Reads the DIRECTORY's subfolders attribute for the entries its text makes.
void OnDirectoryStart(ParseContext* context, const char* name, const char** attributes);
// Turns the collected text into directory list entries.
void OnDirectoryEnd(ParseContext* context, const char* name);
// Builds a FileRecord and puts it in front of the FILE list.
void OnFileStart(ParseContext* context, const char* name, const char** attributes);
