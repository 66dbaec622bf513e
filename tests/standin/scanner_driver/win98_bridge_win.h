// Wine checks the access bits of a request code against the handle before
// the request reaches a driver; Windows 9x does not, and its VxD devices are
// opened with no access at all. So in a program running as Windows 98, the
// bridge reroutes the program's own DeviceIoControl import: each request is
// sent, with the same code and buffers, on a duplicate of the caller's handle
// to the same open file that carries the access the code asks for.
#pragma once

// Patches the main module's import of DeviceIoControl; false if not found.
bool InstallWin98Bridge();
