// The stand-in driver travels inside the test program as this RCDATA
// resource: the test prefix cannot see the build tree.
#pragma once
#define STANDIN_DRIVER_RESOURCE 301
