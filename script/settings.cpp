#include "script/settings.h"

RunOptions g_runOptions;
char g_logPathBuffer[LOG_PATH_SIZE];
RunSettings g_settings;
