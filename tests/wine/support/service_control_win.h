// Installing, starting, watching and removing the stand-in service (or any
// own-process service) from a test program.
#pragma once
#include <string>

// The service's current state (SERVICE_RUNNING and so on), 0 when there is
// no such service.
unsigned long ServiceState(const std::string& name);
// Waits, generously, for the state; answers whether it came.
bool WaitForServiceState(const std::string& name, unsigned long state);
// Installs an own-process, demand-start service running command and, if
// asked, starts it and waits until it runs. Answers "" or what failed.
std::string InstallService(const std::string& name, const std::string& command, bool start);
// Ends the service's process and deletes the service, whatever its state,
// and waits until the manager has forgotten it.
void UninstallService(const std::string& name);
