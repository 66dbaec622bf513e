// The machine work behind the UNREGDLL and EXECUTE elements.
#pragma once

enum { COMMAND_WAIT_MS = 5000 };

// Loads the library, calls its DllUnregisterServer with OLE initialised
// around the call and unloads it. Answers true only for S_OK; otherwise the
// last error says why: the system's code when the library did not load or
// has no such entry, or what the entry answered.
bool UnregisterServer(const char* path);
// Starts the command line and waits up to COMMAND_WAIT_MS for it to end.
// Answers false, with the system's code as the last error, when it could
// not be started.
bool RunCommand(const char* commandLine);
