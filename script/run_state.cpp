#include "script/parse_context.h"

int32_t g_threatType = THREAT_VIRUS;
int32_t g_platformCode = 0;
int32_t g_infected = 0;

void MarkInfected() { g_infected = 1; }
