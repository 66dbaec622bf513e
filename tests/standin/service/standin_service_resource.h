// The stand-in service program travels inside system_settings_test as this
// RCDATA resource: the test prefix cannot see the build tree.
#pragma once
#define STANDIN_SERVICE_RESOURCE 302
