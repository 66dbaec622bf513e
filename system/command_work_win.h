// The machine work behind the UNREGDLL and EXECUTE elements.
#pragma once

enum { COMMAND_WAIT_MS = 5000 };

// Loads the library, calls its DllUnregisterServer with OLE initialised
// around the call and unloads it. Answers true only for S_OK.
bool UnregisterServer(const char* path);
// Starts the command line and waits up to COMMAND_WAIT_MS for it to end.
// Answers false when it could not be started.
bool RunCommand(const char* commandLine);
