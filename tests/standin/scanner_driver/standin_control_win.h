// The tests' hold on the scanner stand-in driver: installing it as a kernel
// service, starting and stopping it, telling it how to behave and reading
// back what reached the scanner device.
#pragma once
#include <string>
#include <vector>

#include "standin_protocol.h"

// Writes the driver embedded in the test program to path.
bool ExtractStandInDriver(const std::string& path);
// Creates the kernel service if needed and starts it.
bool StartStandInDriver(const std::string& path);
// Stops the service and waits until the devices are gone.
bool StopStandInDriver();
bool SetStandInBehaviour(const StandInBehaviour& behaviour);
// Puts a mark in the log, to show where a program was when events came.
bool MarkStandInLog();
// The events since the last read; false if the log could not be read or
// some events were lost.
bool ReadStandInLog(std::vector<StandInEvent>* events);
// One line per event, for comparing with a test's table.
std::string DescribeStandInEvent(const StandInEvent& event);
